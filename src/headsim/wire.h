#pragma once
// Byte-level vocabulary of the head's serial protocol, as the head sees it.
#include <cstddef>
#include <cstdint>

namespace kyr::headsim {

inline constexpr std::uint8_t kAck = 0x06;
inline constexpr std::uint8_t kNak = 0x15;
inline constexpr std::uint8_t kRawPrefix = 0x55;      // handshake and monitor requests
inline constexpr std::uint8_t kHandshakeByte = 0x8C;  // 0x55 0x8C
inline constexpr std::uint8_t kMonitorByte = 0xC8;    // 0x55 0xC8 key x y part
inline constexpr std::uint8_t kHandshakeReply[2] = {0x8C, 0x73};

inline constexpr std::size_t kCommandSize = 7;  // six bytes and the checksum
inline constexpr std::size_t kMonitorRequestSize = 6;
inline constexpr std::size_t kMonitorReplySize = 2 + 16384 * 2;

// Command codes; the head commands carry the head number (0 to 2) in their low bits.
enum Code : std::uint8_t {
  kReadMemory = 0x10,
  kWriteMemory = 0x14,
  kReadImage = 0x18,
  kWriteImage = 0x1C,
  kReadShoot = 0x20,
  kFinishWrite = 0x24,
  kStatus = 0x28,
  kReadNgImage = 0xF8,
  kReadNgTable = 0xF9,
  kQueryHeads = 0xFB,
  kClose = 0xFE,
};

// The byte that makes the 8-bit sum of a frame 0xFF.
inline std::uint8_t ChecksumOf(const std::uint8_t* bytes, std::size_t n) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < n; ++i) sum += bytes[i];
  return static_cast<std::uint8_t>(0xFF - (sum & 0xFF));
}

inline bool FrameSumIsValid(const std::uint8_t* bytes, std::size_t n) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < n; ++i) sum += bytes[i];
  return (sum & 0xFF) == 0xFF;
}

}  // namespace kyr::headsim
