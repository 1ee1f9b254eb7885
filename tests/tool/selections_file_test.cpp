#include "tool/selections_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "common/temp_folder.h"

namespace kyr::tool {
namespace {

namespace fs = std::filesystem;

using test_common::ReadAll;
using test_common::TempFolder;

TEST(SelectionsFile, ReadRulesGiveDefaultsForWhatIsMissingOrOutOfRange) {
  EXPECT_EQ(ParseSelections("2\n3\nCOM4"), (Selections{2, 3, "COM4"}));
  EXPECT_EQ(ParseSelections("1\r\n2\r\n/dev/ttyUSB0"), (Selections{1, 2, "/dev/ttyUSB0"}));
  EXPECT_EQ(ParseSelections("7\n2\nCOM1").head, 0);  // outside 0 to 2
  EXPECT_EQ(ParseSelections("-1\n4\n").image_type, 0);
  EXPECT_EQ(ParseSelections("-1\n4\n").head, 0);
  EXPECT_EQ(ParseSelections("2\n1\n"), (Selections{2, 1, std::nullopt}));  // two lines
  EXPECT_EQ(ParseSelections("2"), (Selections{2, 0, std::nullopt}));
  EXPECT_EQ(ParseSelections(""), Selections{});
  EXPECT_EQ(ParseSelections(" 2x\n01\n"), (Selections{2, 1, std::nullopt}));
  EXPECT_EQ(ParseSelections("garbage\n\xff\xfe\n"), Selections{});
  // Only the first characters of a number line count.
  EXPECT_EQ(ParseSelections("000000000002\n1\n").head, 0);
}

TEST(SelectionsFile, RoundTripInTheConfigurationFolderAndAFailedWrite) {
  TempFolder folder;
  const std::string old_config =
      std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
  setenv("XDG_CONFIG_HOME", folder.path().c_str(), 1);
  const std::string path = SelectionsFilePath();
  EXPECT_EQ(path, (folder.path() / "ridgemo/selections.txt").string());
  setenv("XDG_CONFIG_HOME", "relative/dir", 1);  // not absolute: ignored
  setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(SelectionsFilePath(), "/home/someone/.config/ridgemo/selections.txt");
  if (old_config.empty()) {
    unsetenv("XDG_CONFIG_HOME");
  } else {
    setenv("XDG_CONFIG_HOME", old_config.c_str(), 1);
  }

  EXPECT_EQ(ReadSelectionsFile(path), Selections{});  // no file yet
  // Selections under the old name are read until the new file exists.
  fs::create_directories(folder.path() / "ridgemo");
  std::ofstream(folder.path() / "ridgemo/ridgemo.ini") << "1\n2\nCOM4";
  EXPECT_EQ(ReadSelectionsFile(path), (Selections{1, 2, "COM4"}));
  const Selections chosen{2, 3, "/dev/ttyUSB0"};
  ASSERT_TRUE(WriteSelectionsFile(path, chosen));  // creates the ridgemo folder
  EXPECT_EQ(ReadAll(path), "2\r\n3\r\n/dev/ttyUSB0");
  EXPECT_EQ(ReadSelectionsFile(path), chosen);
  ASSERT_TRUE(WriteSelectionsFile(path, {1, 0, "COM2\nextra"}));
  EXPECT_EQ(ReadSelectionsFile(path), (Selections{1, 0, "COM2"}));

  EXPECT_FALSE(WriteSelectionsFile("", chosen));
  if (geteuid() != 0) {  // root writes anywhere
    fs::permissions(folder.path() / "ridgemo", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(WriteSelectionsFile(path, chosen));
    EXPECT_EQ(ReadSelectionsFile(path), (Selections{1, 0, "COM2"}));
  }
  const fs::path blocked = folder.path() / "file-not-folder";
  std::ofstream(blocked) << "x";
  EXPECT_FALSE(WriteSelectionsFile((blocked / "selections.txt").string(), chosen));
}

}  // namespace
}  // namespace kyr::tool
