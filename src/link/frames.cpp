#include "link/frames.h"

namespace kyr::link {

std::uint8_t Checksum(const std::uint8_t* data, std::size_t count) {
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < count; ++i) sum = static_cast<std::uint8_t>(sum + data[i]);
  return static_cast<std::uint8_t>(~sum);
}

bool SumIsValid(const std::uint8_t* data, std::size_t count) {
  return Checksum(data, count) == 0;
}

std::array<std::uint8_t, 6> MakeCommand(std::uint8_t code, std::uint32_t address,
                                        std::uint8_t words, std::uint8_t replies_minus_one) {
  return {code,
          static_cast<std::uint8_t>(address & 0xFF),
          static_cast<std::uint8_t>((address >> 8) & 0xFF),
          static_cast<std::uint8_t>((address >> 16) & 0xFF),
          words,
          replies_minus_one};
}

}  // namespace kyr::link
