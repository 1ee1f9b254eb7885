#pragma once
// The head's commands: every command code and the builders of every command the tool sends.
// Operations say what they ask for; only this file spells the bytes.
//
// A command is six bytes: the code (with the target head's number added for head commands),
// a 24-bit byte address low byte first, the words per reply (or in the data frame), and the
// number of replies minus one. SendFrame appends the checksum.
#include <array>
#include <cstdint>

#include "link/frames.h"

namespace kyr::link {

using Command = std::array<std::uint8_t, 6>;

// Command codes. Head commands get the head number (0 to 2) added.
inline constexpr std::uint8_t kReadMemory = 0x10;
inline constexpr std::uint8_t kWriteMemory = 0x14;
inline constexpr std::uint8_t kReadImageBlocks = 0x18;  // bank and memory images
inline constexpr std::uint8_t kWriteImageBlock = 0x1C;
inline constexpr std::uint8_t kReadShotBlocks = 0x20;  // taken (shoot) images
inline constexpr std::uint8_t kFinishSettingsWrite = 0x24;
inline constexpr std::uint8_t kStatusPoll = 0x28;
// Codes without a head number: NG images and the NG table are the first head's.
inline constexpr std::uint8_t kReadNgBlocks = 0xF8;
inline constexpr std::uint8_t kReadNgTable = 0xF9;
inline constexpr std::uint8_t kQueryHeads = 0xFB;
// The monitor's raw part request (no checksum) and the first byte of its reply.
inline constexpr std::uint8_t kMonitorMark = 0x55;
inline constexpr std::uint8_t kMonitorPart = 0xC8;

// Reply sizes, in words, of the commands whose answer is fixed.
inline constexpr int kQueryHeadsWords = 5;
inline constexpr int kShootStatusWords = 4;
inline constexpr int kWriteStatusWords = 5;
inline constexpr int kNgTablePieceWords = 18;

// Command byte of `code` for head `head` (0 to 2).
constexpr std::uint8_t HeadCommand(std::uint8_t code, int head) {
  return static_cast<std::uint8_t>(code + head);
}

// Query heads: five words, byte 6 + h of their data non-zero when head h is there.
Command QueryHeadsCommand();

// Read memory: `replies` replies of `words` words from byte address `address`.
Command ReadMemoryCommand(int head, std::uint32_t address, int words, int replies = 1);
// Write memory: `words` words at byte address `address`; a data frame follows at once.
Command WriteMemoryCommand(int head, std::uint32_t address, int words);
// Ends a settings write; acknowledged with an empty reply.
Command FinishSettingsWriteCommand(int head);

// Where an image block read takes its blocks from.
enum class ImageSource : std::uint8_t {
  kBankOrMemory,  // registered and memory images, of the target head
  kShot,          // taken images, of the target head
  kNg,            // NG images, always of the first head
};
const char* ImageSourceName(ImageSource source);

// Image block read: `replies` replies (1 to 32) of 128 words from byte address `address`
// (unit in the top byte). The addition of the unit is 8-bit, so the address wraps at 24 bits.
Command ImageBlockReadCommand(ImageSource source, int head, std::uint32_t address, int replies);
// Image block write of 128 words at `address`; the 256-byte data frame follows at once.
Command ImageBlockWriteCommand(int head, std::uint32_t address);

// Status of the last shots: four words, S0 the bank of the last shot, S3 a mode word.
Command ShootStatusCommand(int head);
// Poll after an image write: five words, the first 5 or 15 while the head is still busy.
Command WriteStatusPollCommand(int head);
// A piece of kNgTablePieceWords words of the NG table from word `word_offset`.
Command NgTablePieceCommand(int word_offset);

// The monitor's raw request for frame part `part` (0 to 7), carrying the console key code and
// the pointer values; its reply starts kMonitorMark and the part number.
std::array<std::uint8_t, 6> MonitorPartRequest(std::uint8_t console_key, std::uint8_t pointer_x,
                                               std::uint8_t pointer_y, int part);
constexpr bool IsMonitorReplyHeader(std::uint8_t first, std::uint8_t second, int part) {
  return first == kMonitorMark && second == part;
}

}  // namespace kyr::link
