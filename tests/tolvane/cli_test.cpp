#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "settings/initial_values.h"
#include "settings/settings_file.h"
#include "settings/test_support.h"

namespace kyr::settings {
namespace {

using testing::ReadAll;
using testing::TempFolder;

struct Outcome {
  int status;
  std::string err;
};

// Runs tolvane with `arguments` (already quoted), stdin from /dev/null, LANG unset.
Outcome Tolvane(const TempFolder& folder, const std::string& arguments) {
  const std::string err_file = folder.File("stderr.txt");
  const std::string command = "env -u LANGUAGE -u LC_ALL -u LC_MESSAGES -u LANG " +
                              std::string(KYR_TOLVANE) + " " + arguments +
                              " </dev/null >/dev/null 2>" + err_file;
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadAll(err_file)};
}

// The refusals and usage errors are in the command-line table (tests/command_line).
TEST(TolvaneCommandLine, UpgradeConvertsOlderFiles) {
  TempFolder folder;
  SettingsImage image{};
  CommentTexts comments{};
  InitializeSettings(image, comments);
  image[CommonWord(0)] = 0x0101;
  image[BankWord(0, 28)] = 0x1000;
  image[BankWord(0, 7)] = 0x0001;
  image[WindowWord(0, 0, 4)] = 0x3780;
  image[WindowWord(0, 0, 8)] = 0x0052;
  image[WindowWord(0, 0, 9)] = 0x014A;
  const std::string in = folder.File("v1.kdta");
  ASSERT_EQ(WriteSettingsFile(in, image, comments), settings::WriteResult::kWritten);

  const std::string out = folder.File("v3.kdta");
  ASSERT_EQ(Tolvane(folder, "upgrade " + in + " " + out).status, 0);
  SettingsImage upgraded{};
  ASSERT_EQ(ReadSettingsFile(out, upgraded), ReadResult::kComplete);
  EXPECT_EQ(upgraded[CommonWord(0)], 0x0301);
  EXPECT_EQ(upgraded[BankWord(0, 28)], 0x4200);
  EXPECT_EQ(upgraded[BankWord(0, 7)], 0x0010);
  EXPECT_EQ(upgraded[WindowWord(0, 0, 4)], 0x5780);
  EXPECT_EQ(upgraded[WindowWord(0, 0, 8)], 0x0002);
  EXPECT_EQ(upgraded[WindowWord(0, 0, 9)], (30 << 9) | 0x4A);  // bit 8 cleared on the way
}

}  // namespace
}  // namespace kyr::settings
