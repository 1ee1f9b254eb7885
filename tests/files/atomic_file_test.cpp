#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "common/temp_folder.h"
#include "files/atomic_file.h"

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

}  // namespace
}  // namespace kyr::files
