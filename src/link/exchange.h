#pragma once
// One request and its reply, and the one retry rule every operation uses: a request whose
// reply is wrong is asked again, up to the policy's attempts in a row.
//
// Typical use:
//   ReplyWords words{};
//   Request request{ReadMemoryCommand(head, address, 128), 128};
//   switch (Exchange(link, request, words)) { case ExchangeResult::kDone: ... }
//
// Operations whose one attempt is more than one request and reply (a request answered by
// several replies, a sequence restarted as a whole) pass their attempt to Retry.
#include <cstdint>
#include <span>
#include <string_view>

#include "link/link.h"
#include "link/protocol.h"

namespace kyr::link {

struct RetryPolicy {
  // Wrong replies allowed in a row; the last of them gives up.
  int attempts = 5;
  // After a success that needed more than one attempt, the reply taken may be a late answer
  // to an earlier attempt, with the answers to the repeated requests still to come: they are
  // discarded, or the next request would take them for its own.
  bool drain_after_retried_success = true;
  // How long the line must stay quiet for that drain to end.
  std::uint32_t drain_quiet_ms = kDrainQuietMs;
};

// Five wrong replies in a row give up: the transfers' rule for blocks and settings words.
inline constexpr RetryPolicy kFiveAttempts{};
// Asked once: a wrong reply gives up at once.
inline constexpr RetryPolicy kOneAttempt{1, false, kDrainQuietMs};

// How one attempt went.
enum class Attempt {
  kGood,
  kWrong,    // a reply missing, refused, garbled or of the wrong length: worth another try
  kNotSent,  // a frame was not written whole: no point asking again
  kStopped,  // the operation ended the attempt itself (abort, a file error)
};
std::string_view AttemptName(Attempt attempt);

enum class [[nodiscard]] ExchangeResult{
    kDone,
    kNotSent,      // show "Fail to write USB." and stop
    kNoGoodReply,  // every attempt went wrong: show "Communication error is occurred." and stop
    kStopped,      // the attempt ended the operation
};
std::string_view ExchangeResultName(ExchangeResult result);

// One command, the data frame sent right after it, and the reply that counts as good.
struct Request {
  Command command{};
  int reply_words = 0;
  std::span<const std::uint8_t> data{};
  // False where a fault in the data frame is left to show in the acknowledge.
  bool data_must_be_sent = true;
  // The block the request is about, for the link trace; -1 when none.
  int block = -1;
};

// Sends the request and receives one reply. A wrong reply leaves nothing of itself on the
// line: whatever of it is still arriving is discarded.
[[nodiscard]] Attempt AskOnce(Link& link, const Request& request, ReplyWords& words);

// Receives one more reply of `words_expected` words, with the same rule.
[[nodiscard]] Attempt ReceiveOnce(Link& link, int words_expected, ReplyWords& words);

// "block 5: wrong reply, asked again (2 of 5)" in the link's notes.
void NoteRetry(Link& link, int wrong, int attempts);

// Runs `attempt` until it is good, stopped or not sent, or until policy.attempts attempts in
// a row went wrong.
template <class AttemptFunction>
ExchangeResult Retry(Link& link, const RetryPolicy& policy, AttemptFunction&& attempt) {
  for (int wrong = 0;;) {
    switch (attempt()) {
      case Attempt::kGood:
        if (wrong > 0 && policy.drain_after_retried_success) {
          link.DiscardAfterRetriedSuccess(policy.drain_quiet_ms);
        }
        return ExchangeResult::kDone;
      case Attempt::kNotSent:
        return ExchangeResult::kNotSent;
      case Attempt::kStopped:
        return ExchangeResult::kStopped;
      case Attempt::kWrong:
        // A stop during the wait is a wrong reply to the attempt, but no reason to ask again.
        if (link.StopRequested()) return ExchangeResult::kStopped;
        if (++wrong >= policy.attempts) return ExchangeResult::kNoGoodReply;
        NoteRetry(link, wrong, policy.attempts);
        break;
    }
  }
}

// The request asked until its reply is good, as the policy allows.
ExchangeResult Exchange(Link& link, const Request& request, ReplyWords& words,
                        const RetryPolicy& policy = kFiveAttempts);

}  // namespace kyr::link
