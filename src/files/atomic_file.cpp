#include "files/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace kyr::files {
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
  AtomicFileWriter writer(path);
  return writer.Open() && writer.Append(content) && writer.Commit();
}

bool PathExists(const std::string& path) {
  return ::access(path.c_str(), F_OK) == 0;
}

bool CanOpenForReading(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

AtomicFileWriter::AtomicFileWriter(std::string path) : path_(std::move(path)) {}

AtomicFileWriter::~AtomicFileWriter() {
  Abandon();
}

bool AtomicFileWriter::Open() {
  Abandon();
  if (path_.empty()) return false;
  // Renaming would replace a write-protected file that a plain write could not open.
  if (PathExists(path_) && ::access(path_.c_str(), W_OK) != 0) return false;
  std::string pattern = TemporaryPattern(path_);
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  fd_ = ::mkstemp(name.data());
  if (fd_ < 0) return false;
  temporary_.assign(name.data());
  MatchPermissions(fd_, path_);
  ok_ = true;
  return true;
}

bool AtomicFileWriter::Append(std::string_view content) {
  if (fd_ < 0 || !ok_) return false;
  ok_ = WriteAll(fd_, content);
  return ok_;
}

bool AtomicFileWriter::Commit() {
  if (fd_ < 0) return false;
  bool ok = ok_ && ::fdatasync(fd_) == 0;
  ok = (::close(fd_) == 0) && ok;
  fd_ = -1;
  ok = ok && ::rename(temporary_.c_str(), path_.c_str()) == 0;
  if (!ok) ::unlink(temporary_.c_str());
  temporary_.clear();
  ok_ = false;
  return ok;
}

void AtomicFileWriter::Abandon() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
  ::unlink(temporary_.c_str());
  temporary_.clear();
  ok_ = false;
}

}  // namespace kyr::files
