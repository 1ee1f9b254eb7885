#include "link/step_tracker.h"

#include <limits>

namespace kyr::link {

namespace {
constexpr std::uint64_t kNotBegun = std::numeric_limits<std::uint64_t>::max();
}

StepTracker::StepTracker(Link& link, int steps, int reply_words)
    : link_(link),
      reply_words_(reply_words),
      first_reply_(static_cast<std::size_t>(steps < 0 ? 0 : steps), kNotBegun) {}

void StepTracker::Begin(int step) {
  first_reply_.at(static_cast<std::size_t>(step)) = link_.ReplyCount();
}

std::optional<int> StepTracker::Next(int next) {
  const auto steps = static_cast<int>(first_reply_.size());
  // After the last step the line must fall quiet; bytes then put it out of step.
  if (next >= steps) (void)link_.EndsInStep(reply_words_);
  const std::optional<std::uint64_t> since = link_.OutOfStepSince();
  if (!since) return next;
  if (++recoveries_ > kStepRecoveries) return std::nullopt;
  // The last step that began at or before the first suspect reply read it (or a later one).
  int back = 0;
  for (int step = 0; step < next && step < steps; ++step) {
    const std::uint64_t first = first_reply_[static_cast<std::size_t>(step)];
    if (first != kNotBegun && first <= *since) back = step;
  }
  for (int step = back + 1; step < steps; ++step) {
    first_reply_[static_cast<std::size_t>(step)] = kNotBegun;
  }
  link_.ClearOutOfStep();
  return back;
}

}  // namespace kyr::link
