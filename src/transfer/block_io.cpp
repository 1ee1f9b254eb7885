#include "transfer/block_io.h"

#include "link/frames.h"

namespace kyr::transfer {

std::uint8_t HeadCommand(std::uint8_t code, int head) {
  return static_cast<std::uint8_t>(code + head);
}

BlockOutcome ReadMemoryBlock(link::Link& link, int head, std::uint32_t address, std::uint8_t words,
                             link::ReplyWords& out) {
  const auto command = link::MakeCommand(HeadCommand(kReadMemory, head), address, words, 0);
  for (int failed = 0; failed < kMaxFailedReplies;) {
    if (link.SendFrame(command.data(), command.size()) != link::kFrameSent) {
      return BlockOutcome::kSendFailed;
    }
    if (link.ReceiveReply(out) == words) return BlockOutcome::kDone;
    ++failed;
  }
  return BlockOutcome::kNoGoodReply;
}

}  // namespace kyr::transfer
