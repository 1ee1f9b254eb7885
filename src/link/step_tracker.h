#pragma once
// Getting back in step: a transfer made of steps (a block, an acknowledged write, a poll)
// notes where each step began on the link's reply count, and when the link finds the line
// out of step the transfer goes back to the first step a stray reply may have answered and
// asks again from there. Steps must be safe to repeat.
//
// Typical use:
//   StepTracker steps(link, blocks, words_of_longest_reply);
//   for (int step = 0; step < blocks;) {
//     steps.Begin(step);
//     ... one step's exchanges ...
//     const std::optional<int> next = steps.Next(step + 1);
//     if (!next) return fail;  // out of step too often
//     step = *next;
//   }
#include <cstdint>
#include <optional>
#include <vector>

#include "link/link.h"

namespace kyr::link {

// How often one transfer may be found out of step before it gives up.
inline constexpr int kStepRecoveries = 5;

class StepTracker {
 public:
  // `steps` steps, whose longest reply has `reply_words` words (for the check at the end).
  StepTracker(Link& link, int steps, int reply_words);

  // The step `step` starts now.
  void Begin(int step);

  // The step to carry on with after a step that ended well, `next` being the one after it
  // (the count of steps for the last: then the line must end in step). An earlier step when
  // the line was out of step; nothing when it was found out of step too often.
  [[nodiscard]] std::optional<int> Next(int next);

  // How often the transfer went back so far.
  int Recoveries() const { return recoveries_; }

 private:
  Link& link_;
  int reply_words_;
  int recoveries_ = 0;
  std::vector<std::uint64_t> first_reply_;  // per step begun in this pass
};

}  // namespace kyr::link
