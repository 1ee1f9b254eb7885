#include "images/file_io.h"

#include <filesystem>
#include <system_error>

namespace kyr::images::detail {

std::size_t ReadUpTo(std::FILE* file, std::span<std::uint8_t> out) {
  std::size_t total = 0;
  while (total < out.size()) {
    const std::size_t got = std::fread(out.data() + total, 1, out.size() - total, file);
    if (got == 0) break;
    total += got;
  }
  return total;
}

bool CanOpenForReading(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

bool WriteWholeFile(const std::string& path, std::span<const std::uint8_t> data) {
  const std::string temporary = path + ".part~";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(data.data(), 1, data.size(), file) == data.size();
  ok = std::fflush(file) == 0 && ok;
  ok = std::fclose(file) == 0 && ok;
  std::error_code error;
  if (ok) std::filesystem::rename(temporary, path, error);
  if (!ok || error) {
    std::filesystem::remove(temporary, error);
    return false;
  }
  return true;
}

}  // namespace kyr::images::detail
