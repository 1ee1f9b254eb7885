#include "link/exchange.h"

#include <string>

namespace kyr::link {

std::string_view AttemptName(Attempt attempt) {
  switch (attempt) {
    case Attempt::kGood:
      return "good";
    case Attempt::kWrong:
      return "wrong";
    case Attempt::kNotSent:
      return "not sent";
    case Attempt::kStopped:
      return "stopped";
  }
  return "?";
}

std::string_view ExchangeResultName(ExchangeResult result) {
  switch (result) {
    case ExchangeResult::kDone:
      return "done";
    case ExchangeResult::kNotSent:
      return "not sent";
    case ExchangeResult::kNoGoodReply:
      return "no good reply";
    case ExchangeResult::kStopped:
      return "stopped";
  }
  return "?";
}

Attempt ReceiveOnce(Link& link, int words_expected, ReplyWords& words) {
  const ReplyResult reply = link.ReceiveReply(words);
  if (reply.HasWords(words_expected)) return Attempt::kGood;
  link.DiscardAfterFailedReply(words_expected, reply.Good());
  return Attempt::kWrong;
}

Attempt AskOnce(Link& link, const Request& request, ReplyWords& words) {
  link.NoteBlock(request.block);
  link.DiscardStrayBeforeRequest();
  if (link.SendFrame(request.command.data(), request.command.size()) != FrameResult::kSent) {
    return Attempt::kNotSent;
  }
  if (!request.data.empty()) {
    const FrameResult sent = link.SendFrame(request.data.data(), request.data.size());
    if (sent != FrameResult::kSent && request.data_must_be_sent) return Attempt::kNotSent;
  }
  return ReceiveOnce(link, request.reply_words, words);
}

void NoteRetry(Link& link, int wrong, int attempts) {
  const std::string block = link.block() >= 0 ? "block " + std::to_string(link.block()) + ": " : "";
  link.Note(block + "wrong reply, asked again (" + std::to_string(wrong + 1) + " of " +
            std::to_string(attempts) + ")");
}

ExchangeResult Exchange(Link& link, const Request& request, ReplyWords& words,
                        const RetryPolicy& policy) {
  return Retry(link, policy, [&] { return AskOnce(link, request, words); });
}

}  // namespace kyr::link
