#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "common/temp_folder.h"
#include "files/atomic_file.h"
#include "files/regular_file.h"

namespace kyr::files {
namespace {

using test_common::ReadAll;
using test_common::TempFolder;
using test_common::WriteAll;

std::size_t EntriesIn(const std::filesystem::path& folder) {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
  return count;
}

TEST(AtomicFile, ReplacesWholeFilesAndLeavesNothingBehindOnFailure) {
  TempFolder folder;
  const std::string path = folder.File("out.txt");
  ASSERT_TRUE(WriteFileAtomically(path, "first\r\n"));
  ASSERT_TRUE(WriteFileAtomically(path, "second"));
  EXPECT_EQ(ReadAll(path), "second");
  EXPECT_TRUE(WriteFileAtomically(path, ""));
  EXPECT_EQ(ReadAll(path), "");
  EXPECT_EQ(EntriesIn(folder.path()), 1u);

  // A relative name lands in the working folder.
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(folder.path());
  EXPECT_TRUE(WriteFileAtomically("relative.txt", "x"));
  std::filesystem::current_path(previous);
  EXPECT_EQ(ReadAll(folder.File("relative.txt")), "x");

  // Failures: no folder, a folder in the way, an empty name. The temporary file is removed.
  EXPECT_FALSE(WriteFileAtomically(folder.File("missing/out.txt"), "x"));
  std::filesystem::create_directory(folder.File("dir"));
  WriteAll(folder.File("dir/keep"), "kept");
  EXPECT_FALSE(WriteFileAtomically(folder.File("dir"), "x"));
  EXPECT_EQ(ReadAll(folder.File("dir/keep")), "kept");
  EXPECT_FALSE(WriteFileAtomically("", "x"));
  EXPECT_EQ(EntriesIn(folder.path()), 3u);

  // A write-protected file stays (the superuser may write anything, so only as a user).
  if (::geteuid() != 0) {
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    EXPECT_FALSE(WriteFileAtomically(path, "third"));
    EXPECT_EQ(ReadAll(path), "");
  }
}

namespace fs = std::filesystem;

// A link is written through to the file it points to; what is not a regular file, or a link
// to nothing or to such a thing, is refused and stays as it was. Readers refuse the same
// without blocking.
TEST(AtomicFile, WritesThroughLinksAndRefusesWhatIsNoRegularFile) {
  TempFolder folder;
  WriteAll(folder.File("real.txt"), "old");
  fs::create_symlink("real.txt", folder.File("link.txt"));
  fs::create_symlink("link.txt", folder.File("link2.txt"));
  fs::create_symlink("gone.txt", folder.File("dangling.txt"));
  ::mkfifo(folder.File("fifo").c_str(), 0600);
  fs::create_symlink(folder.File("fifo"), folder.File("to-fifo"));
  fs::create_symlink("/dev/null", folder.File("to-null"));
  fs::create_directory(folder.File("dir"));
  const struct {
    const char* name;
    WriteTarget target;
    OpenProblem read;
  } cases[] = {
      {"real.txt", WriteTarget::kWritable, OpenProblem::kNone},
      {"link.txt", WriteTarget::kWritable, OpenProblem::kNone},
      {"link2.txt", WriteTarget::kWritable, OpenProblem::kNone},
      {"new.txt", WriteTarget::kWritable, OpenProblem::kMissing},
      {"dangling.txt", WriteTarget::kDanglingLink, OpenProblem::kMissing},
      {"fifo", WriteTarget::kNotRegular, OpenProblem::kNotRegular},
      {"to-fifo", WriteTarget::kNotRegular, OpenProblem::kNotRegular},
      {"to-null", WriteTarget::kNotRegular, OpenProblem::kNotRegular},
      {"dir", WriteTarget::kNotRegular, OpenProblem::kNotRegular},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = folder.File(c.name);
    OpenProblem problem{};
    const auto content = ReadRegularFile(path, 100, problem);
    EXPECT_EQ(problem, c.read);
    EXPECT_EQ(content.has_value(), c.read == OpenProblem::kNone);
    EXPECT_EQ(CheckWriteTarget(path), c.target);
    const fs::file_type type = fs::symlink_status(path).type();
    EXPECT_EQ(WriteFileAtomically(path, c.name), c.target == WriteTarget::kWritable);
    if (c.target != WriteTarget::kWritable || c.read == OpenProblem::kMissing) continue;
    EXPECT_EQ(fs::symlink_status(path).type(), type);  // a link stays a link
    EXPECT_EQ(ReadAll(folder.File("real.txt")), c.name);
  }
  EXPECT_FALSE(fs::exists(folder.File("gone.txt")));
  EXPECT_EQ(fs::status(folder.File("fifo")).type(), fs::file_type::fifo);
  EXPECT_EQ(fs::status("/dev/null").type(), fs::file_type::character);
  OpenProblem problem{};
  EXPECT_FALSE(ReadRegularFile(folder.File("real.txt"), 2, problem));
  EXPECT_EQ(problem, OpenProblem::kTooLarge);
}

// A child process that is killed while its writer is open; the folder is what it leaves.
void KillWhileWriting(const std::string& path) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    AtomicFileWriter writer(path);
    if (writer.Open() && writer.Append("half")) (void)!::write(ready[1], "!", 1);
    ::pause();
    ::_exit(0);
  }
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  ::close(ready[0]);
  ::close(ready[1]);
}

void MakeOld(const std::string& path) {
  fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::minutes(2));
}

// Unnamed temporary files leave nothing when the writer is killed; named ones (where the file
// system has no unnamed files) are removed by the next write into the folder once they are
// stale, while a live writer's file stays.
TEST(AtomicFile, AKilledWriterLeavesNoTemporaryFileForLong) {
  TempFolder folder;
  const std::string target = folder.File("out.txt");
  WriteAll(target, "whole");
  const int probe = ::open(folder.path().c_str(), O_TMPFILE | O_WRONLY, 0600);
  if (probe >= 0) {
    ::close(probe);
    KillWhileWriting(target);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"out.txt"});
  }

  SetTemporaryFiles(TemporaryFiles::kNamed);
  KillWhileWriting(target);
  std::vector<std::string> names = folder.Names();
  ASSERT_EQ(names.size(), 2u);
  const std::string left = folder.File(names[0]);
  EXPECT_EQ(ReadAll(target), "whole");
  AtomicFileWriter live(folder.File("other.txt"));
  ASSERT_TRUE(live.Open());
  names = folder.Names();
  ASSERT_EQ(names.size(), 3u);
  const std::string live_file = folder.File(folder.File(names[0]) == left ? names[1] : names[0]);
  MakeOld(live_file);
  ASSERT_TRUE(WriteFileAtomically(target, "next"));
  EXPECT_EQ(folder.Names().size(), 3u);  // the killed one is still too young
  MakeOld(left);
  ASSERT_TRUE(WriteFileAtomically(target, "last"));
  EXPECT_FALSE(fs::exists(left));
  EXPECT_TRUE(fs::exists(live_file));
  ASSERT_TRUE(live.Commit());
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"other.txt", "out.txt"}));
  SetTemporaryFiles(TemporaryFiles::kUnnamed);
}

}  // namespace
}  // namespace kyr::files
