#pragma once
// Block reads of the settings transfers, with the transfers' retry rule: a block whose
// reply is missing or bad is asked for again, up to five failed replies in a row.
#include <cstdint>

#include "link/link.h"

namespace kyr::transfer {

inline constexpr int kMaxFailedReplies = 5;

enum class BlockOutcome {
  kDone,
  kSendFailed,   // a command frame was not written whole: show 137 and stop
  kNoGoodReply,  // five failed replies in a row: show 147 and stop
};

// Reads `words` words at byte address `address` of head `head` into `out`.
BlockOutcome ReadMemoryBlock(link::Link& link, int head, std::uint32_t address, std::uint8_t words,
                             link::ReplyWords& out);

}  // namespace kyr::transfer
