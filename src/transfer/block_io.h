#pragma once
// Memory commands of the settings transfers, with the transfers' retry rule: a block whose
// reply is missing or bad is asked for again, up to five failed replies in a row.
#include <cstdint>

#include "link/link.h"

namespace kyr::transfer {

inline constexpr int kMaxFailedReplies = 5;
inline constexpr std::uint8_t kReadMemory = 0x10;
inline constexpr std::uint8_t kWriteMemory = 0x14;
inline constexpr std::uint8_t kFinishSettingsWrite = 0x24;

enum class BlockOutcome {
  kDone,
  kSendFailed,   // a command frame was not written whole: show 137 and stop
  kNoGoodReply,  // five failed replies in a row: show 147 and stop
};

// Command byte of `code` for head `head` (0 to 2).
std::uint8_t HeadCommand(std::uint8_t code, int head);

// Reads `words` words at byte address `address` of head `head` into `out`.
BlockOutcome ReadMemoryBlock(link::Link& link, int head, std::uint32_t address, std::uint8_t words,
                             link::ReplyWords& out);

}  // namespace kyr::transfer
