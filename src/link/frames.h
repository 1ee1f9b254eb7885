#pragma once
// Frame layout shared by both directions: checksums, fixed frames and reply sizes.
#include <array>
#include <cstddef>
#include <cstdint>

namespace kyr::link {

// Largest frame body SendFrame takes (the checksum makes it 512 bytes).
inline constexpr std::size_t kMaxFrameBody = 511;
// Largest reply: 255 words.
inline constexpr std::size_t kMaxReplyWords = 255;
// Reply header: acknowledge byte and word count.
inline constexpr std::uint8_t kAck = 0x06;

using ReplyWords = std::array<std::uint16_t, kMaxReplyWords>;

inline constexpr std::array<std::uint8_t, 2> kHandshakeRequest = {0x55, 0x8C};
inline constexpr std::array<std::uint8_t, 2> kHandshakeReply = {0x8C, 0x73};
inline constexpr std::array<std::uint8_t, 7> kClosingFrame = {0xFE, 0x8C, 0x73, 0x00,
                                                              0x00, 0x00, 0x02};
// Checksum byte guarding `count` bytes: the complement of their 8-bit sum, so that the 8-bit
// sum of a whole frame, checksum included, is FF.
std::uint8_t Checksum(const std::uint8_t* data, std::size_t count);

// True when the 8-bit sum of `count` bytes (a frame with its checksum) is FF.
bool SumIsValid(const std::uint8_t* data, std::size_t count);

// Builds a 6-byte command with a 24-bit byte address (low byte first), without checksum.
std::array<std::uint8_t, 6> MakeCommand(std::uint8_t code, std::uint32_t address,
                                        std::uint8_t words, std::uint8_t replies_minus_one);

// Total bytes of a reply carrying `words` words: header, 2 bytes a word, checksum.
constexpr std::size_t ReplySize(std::size_t words) {
  return 2 * words + 3;
}

}  // namespace kyr::link
