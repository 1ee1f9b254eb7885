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

std::string InitialText() {
  SettingsImage image{};
  CommentTexts comments{};
  InitializeSettings(image, comments);
  return FormatSettingsText(image, comments);
}

TEST(TolvaneCommandLine, InitWritesTheInitialFileAndAsksBeforeReplacing) {
  TempFolder folder;
  const std::string out = folder.File("x.kdta");
  ASSERT_EQ(Tolvane(folder, "init " + out).status, 0);
  EXPECT_EQ(ReadAll(out), InitialText());
  EXPECT_EQ(ReadAll(out).size(), 41984u);

  testing::WriteAll(out, "old");
  const Outcome refused = Tolvane(folder, "init " + out);
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("Specified file exists. Is it OK to overwrite? no (use --yes to "
                             "answer yes)\n"),
            std::string::npos);
  EXPECT_EQ(ReadAll(out), "old");
  EXPECT_EQ(Tolvane(folder, "init " + out + " --yes").status, 0);
  EXPECT_EQ(ReadAll(out), InitialText());

  const Outcome failed = Tolvane(folder, "--lang ja init " + folder.File("none/x.kdta"));
  EXPECT_EQ(failed.status, 1);
  EXPECT_NE(failed.err.find("ファイルの作成に失敗しました。"), std::string::npos);

  EXPECT_EQ(Tolvane(folder, "init").status, 2);
  EXPECT_EQ(Tolvane(folder, "init a b").status, 2);
  EXPECT_EQ(Tolvane(folder, "init a --bogus").status, 2);
  EXPECT_EQ(Tolvane(folder, "--lang fr init a").status, 2);
  EXPECT_EQ(Tolvane(folder, "--help").status, 0);
  EXPECT_EQ(Tolvane(folder, "--version").status, 0);
}

TEST(TolvaneCommandLine, UpgradeConvertsOlderFilesAndRefusesForeignOnes) {
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

  image[CommonWord(0)] = 0x0302;
  const std::string foreign = folder.File("foreign.kdta");
  ASSERT_EQ(WriteSettingsFile(foreign, image, comments), settings::WriteResult::kWritten);
  const Outcome refused = Tolvane(folder, "upgrade " + foreign + " " + folder.File("f.kdta"));
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "The read setting file is not the KYR-TC.\n");
  EXPECT_FALSE(std::filesystem::exists(folder.File("f.kdta")));

  const Outcome missing = Tolvane(folder, "upgrade " + folder.File("nope.kdta") + " " + out);
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "Fail to open the settings file.\n");
  testing::WriteAll(folder.File("short.kdta"), "0301\r\n");
  const Outcome short_file = Tolvane(folder, "upgrade " + folder.File("short.kdta") + " " + out);
  EXPECT_EQ(short_file.status, 1);
  EXPECT_EQ(short_file.err, "The settings file has illegal contents.\n");
}

}  // namespace
}  // namespace kyr::settings
