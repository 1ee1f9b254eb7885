#include "settings/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace kyr::settings {
namespace {

// The temporary file must live in the target's folder so that the rename stays within one
// file system and is atomic.
std::string TemporaryPattern(const std::string& path) {
  const auto slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  return folder + ".kyr-save-XXXXXX";
}

bool WriteAll(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t written = ::write(fd, content.data(), content.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    content.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// A new file gets the permissions a plain create would give it (0666 less the umask); an
// existing target keeps its own.
void MatchPermissions(int fd, const std::string& path) {
  struct stat existing {};
  if (::stat(path.c_str(), &existing) == 0) {
    ::fchmod(fd, existing.st_mode & 07777);
    return;
  }
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view content) {
  if (path.empty()) return false;
  // Renaming would replace a write-protected file that a plain write could not open.
  if (::access(path.c_str(), F_OK) == 0 && ::access(path.c_str(), W_OK) != 0) return false;
  std::string pattern = TemporaryPattern(path);
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) return false;
  MatchPermissions(fd, path);
  bool ok = WriteAll(fd, content) && ::fdatasync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && ::rename(name.data(), path.c_str()) == 0;
  if (!ok) ::unlink(name.data());
  return ok;
}

}  // namespace kyr::settings
