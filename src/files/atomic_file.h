#pragma once
// Replacing a file without ever leaving a half-written one under its name, nor a temporary
// file behind when the process is killed.
#include <string>
#include <string_view>

namespace kyr::files {

// Writes `content` to a temporary file in the target's folder, flushes it to disk and renames
// it over `path`. On any failure the temporary file is removed, a file already at `path` is
// left as it was, and the result is false. A file the user may not write is not replaced.
bool WriteFileAtomically(const std::string& path, std::string_view content);

// True when something is at `path`, readable or not.
bool PathExists(const std::string& path);
// True when the file at `path` can be opened for reading: the test the overwrite questions
// of the file choosers make before a file is replaced. A FIFO or device is never opened.
bool CanOpenForReading(const std::string& path);

// Whether a file may be written at `path`. A symbolic link is written through: the file it
// points to is replaced, so a link to nothing is refused, as is anything that is not a
// regular file (a folder, a device, a FIFO), directly or behind a link.
enum class WriteTarget { kWritable, kDanglingLink, kNotRegular };
WriteTarget CheckWriteTarget(const std::string& path);

// How the temporary file is made. kUnnamed (where the file system supports it) has no name
// until the instant of the final rename, so a killed process leaves nothing; kNamed is the
// fallback, whose files a killed process leaves are removed by the next write into the same
// folder once they are a minute old and no live writer holds them.
enum class TemporaryFiles { kUnnamed, kNamed };
void SetTemporaryFiles(TemporaryFiles kind);

// The same guarantee for a file written piece by piece: Open creates the temporary file in
// the target's folder, Append adds to it, Commit flushes it and renames it over the target.
// A writer abandoned, or destroyed before Commit, removes its temporary file and leaves a
// file already at the target as it was.
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(std::string path);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // False when the temporary file cannot be created, or the target is write-protected or
  // refused by CheckWriteTarget.
  bool Open();
  // False when nothing is open or the write failed; a failed writer can only be abandoned.
  bool Append(std::string_view content);
  // False when any step failed; the temporary file is then gone.
  bool Commit();
  void Abandon();

 private:
  std::string path_;
  std::string target_;     // path_ with its links resolved
  std::string temporary_;  // empty while the temporary file has no name
  int fd_ = -1;
  bool ok_ = false;
};

}  // namespace kyr::files
