#include "backup/sha256.h"

#include <nettle/sha2.h>

#include <array>
#include <fstream>

namespace kyr::backup {
namespace {

class Sha256 {
 public:
  Sha256() { sha256_init(&context_); }
  void Add(const char* data, std::size_t size) {
    sha256_update(&context_, size, reinterpret_cast<const std::uint8_t*>(data));
  }
  std::string Hex() {
    std::array<std::uint8_t, SHA256_DIGEST_SIZE> digest{};
    sha256_digest(&context_, digest.size(), digest.data());
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const std::uint8_t byte : digest) {
      hex += kDigits[byte >> 4];
      hex += kDigits[byte & 0xF];
    }
    return hex;
  }

 private:
  sha256_ctx context_{};
};

}  // namespace

std::string Sha256Hex(std::string_view data) {
  Sha256 sha;
  sha.Add(data.data(), data.size());
  return sha.Hex();
}

std::optional<std::string> Sha256OfFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  Sha256 sha;
  std::array<char, 64 * 1024> chunk{};
  while (in.read(chunk.data(), chunk.size()) || in.gcount() > 0) {
    sha.Add(chunk.data(), static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) return std::nullopt;
  return sha.Hex();
}

}  // namespace kyr::backup
