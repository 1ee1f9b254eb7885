#include "files/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <utility>
#include <vector>

namespace kyr::files {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kTemporaryPrefix = ".kyr-save-";
constexpr std::size_t kUniqueChars = 6;
constexpr int kStaleSeconds = 60;

std::atomic<TemporaryFiles> g_temporary_files{TemporaryFiles::kUnnamed};

// The temporary file must live in the target's folder so that the rename stays within one
// file system and is atomic.
std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NewTemporaryName(const std::string& folder) {
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::minstd_rand random(std::random_device{}());
  std::string name = folder + "/" + std::string(kTemporaryPrefix);
  for (std::size_t i = 0; i < kUniqueChars; ++i) name += kChars[random() % (sizeof kChars - 1)];
  return name;
}

bool IsTemporaryName(std::string_view name) {
  return name.size() == kTemporaryPrefix.size() + kUniqueChars &&
         name.starts_with(kTemporaryPrefix);
}

// Named temporary files of ours that no live writer holds (each writer keeps its file
// locked) and that have not changed for a minute are what a killed process left.
void RemoveStaleTemporaryFiles(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  const int dir_fd = ::dirfd(dir);
  while (const dirent* entry = ::readdir(dir)) {
    if (!IsTemporaryName(entry->d_name)) continue;
    const int fd = ::openat(dir_fd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
        info.st_mtime + kStaleSeconds < std::time(nullptr) && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
      ::unlinkat(dir_fd, entry->d_name, 0);
    ::close(fd);
  }
  ::closedir(dir);
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

// The file a write to `path` replaces: `path` itself, or the file its links lead to.
std::string ResolvedTarget(const std::string& path) {
  std::error_code error;
  if (!fs::is_symlink(fs::symlink_status(path, error))) return path;
  const fs::path target = fs::canonical(path, error);
  return error ? std::string() : target.string();
}

// Gives the unnamed file a name in `folder`; empty when it cannot.
std::string NameUnnamedFile(int fd, const std::string& folder) {
  const std::string proc = "/proc/self/fd/" + std::to_string(fd);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = NewTemporaryName(folder);
    if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
      return name;
    if (errno != EEXIST) break;
  }
  return {};
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
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

WriteTarget CheckWriteTarget(const std::string& path) {
  const std::string target = ResolvedTarget(path);
  if (target.empty()) return WriteTarget::kDanglingLink;
  struct stat info {};
  if (::stat(target.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return WriteTarget::kNotRegular;
  return WriteTarget::kWritable;
}

void SetTemporaryFiles(TemporaryFiles kind) {
  g_temporary_files = kind;
}

AtomicFileWriter::AtomicFileWriter(std::string path) : path_(std::move(path)) {}

AtomicFileWriter::~AtomicFileWriter() {
  Abandon();
}

bool AtomicFileWriter::Open() {
  Abandon();
  if (path_.empty() || CheckWriteTarget(path_) != WriteTarget::kWritable) return false;
  target_ = ResolvedTarget(path_);
  // Renaming would replace a write-protected file that a plain write could not open.
  if (PathExists(target_) && ::access(target_.c_str(), W_OK) != 0) return false;
  const std::string folder = FolderOf(target_);
  RemoveStaleTemporaryFiles(folder);
  if (g_temporary_files == TemporaryFiles::kUnnamed)
    fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (fd_ < 0) {
    // The file system has no unnamed files: a named one, kept locked while it is ours.
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
      temporary_ = NewTemporaryName(folder);
      fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) {
      temporary_.clear();
      return false;
    }
  }
  // Also an unnamed file is locked: it is named for the instant before its rename.
  ::flock(fd_, LOCK_EX);
  MatchPermissions(fd_, target_);
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
  if (ok && temporary_.empty()) {
    temporary_ = NameUnnamedFile(fd_, FolderOf(target_));
    ok = !temporary_.empty();
  }
  ok = ok && ::rename(temporary_.c_str(), target_.c_str()) == 0;
  if (!ok && !temporary_.empty()) ::unlink(temporary_.c_str());
  ok = (::close(fd_) == 0) && ok;
  fd_ = -1;
  temporary_.clear();
  ok_ = false;
  return ok;
}

void AtomicFileWriter::Abandon() {
  if (fd_ < 0) return;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  ::close(fd_);
  fd_ = -1;
  temporary_.clear();
  ok_ = false;
}

}  // namespace kyr::files
