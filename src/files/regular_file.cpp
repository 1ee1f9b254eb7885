#include "files/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kyr::files {

int OpenRegularFile(const std::string& path, OpenProblem& problem) {
  // O_NONBLOCK keeps open() from waiting for a writer of a FIFO or for a device; the type
  // is checked on what was opened, so nothing can be swapped in between.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    problem =
        errno == ENOENT || errno == ENOTDIR ? OpenProblem::kMissing : OpenProblem::kUnreadable;
    return -1;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    problem = OpenProblem::kNotRegular;
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  problem = OpenProblem::kNone;
  return fd;
}

std::optional<std::string> ReadRegularFile(const std::string& path, std::uint64_t max_bytes,
                                           OpenProblem& problem) {
  const int fd = OpenRegularFile(path, problem);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || static_cast<std::uint64_t>(info.st_size) > max_bytes) {
    ::close(fd);
    problem = OpenProblem::kTooLarge;
    return std::nullopt;
  }
  std::string content(static_cast<std::size_t>(info.st_size), '\0');
  std::size_t used = 0;
  while (used < content.size()) {
    const ssize_t got = ::read(fd, content.data() + used, content.size() - used);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    used += static_cast<std::size_t>(got);
  }
  ::close(fd);
  if (used != content.size()) {
    problem = OpenProblem::kUnreadable;
    return std::nullopt;
  }
  return content;
}

}  // namespace kyr::files
