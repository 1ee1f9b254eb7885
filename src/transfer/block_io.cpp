#include "transfer/block_io.h"

#include "link/frames.h"

namespace kyr::transfer {

// When a block needed another attempt, the answer taken may be a late one to an earlier
// attempt, with the answers to the repeated commands following it: they are discarded, or
// the next block would be taken from them.
BlockOutcome ReadMemoryBlock(link::Link& link, int head, std::uint32_t address, std::uint8_t words,
                             link::ReplyWords& out) {
  const auto command =
      link::MakeCommand(link::HeadCommand(link::kReadMemory, head), address, words, 0);
  for (int failed = 0; failed < kMaxFailedReplies;) {
    if (link.SendFrame(command.data(), command.size()) != link::kFrameSent) {
      return BlockOutcome::kSendFailed;
    }
    if (link.ReceiveReply(out) == words) {
      if (failed > 0) link.DiscardPending();
      return BlockOutcome::kDone;
    }
    ++failed;
  }
  return BlockOutcome::kNoGoodReply;
}

}  // namespace kyr::transfer
