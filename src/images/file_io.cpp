#include "images/file_io.h"

#include <unistd.h>

#include <string_view>

#include "files/atomic_file.h"
#include "files/regular_file.h"

namespace kyr::images::detail {

std::FILE* OpenForReading(const std::string& path) {
  files::OpenProblem problem{};
  const int fd = files::OpenRegularFile(path, problem);
  if (fd < 0) return nullptr;
  std::FILE* file = ::fdopen(fd, "rb");
  if (file == nullptr) ::close(fd);
  return file;
}

std::size_t ReadUpTo(std::FILE* file, std::span<std::uint8_t> out) {
  std::size_t total = 0;
  while (total < out.size()) {
    const std::size_t got = std::fread(out.data() + total, 1, out.size() - total, file);
    if (got == 0) break;
    total += got;
  }
  return total;
}

bool WriteWholeFile(const std::string& path, std::span<const std::uint8_t> data) {
  return files::WriteFileAtomically(
      path, std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
}

}  // namespace kyr::images::detail
