#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "settings/initial_values.h"
#include "settings/settings_file.h"
#include "settings/test_support.h"

namespace kyr::settings {
namespace {

using testing::ReadAll;
using testing::TempFolder;
using testing::WriteAll;

struct CsvRun {
  int status;
  std::string out;
  std::string err;
};

// Runs tolvane with `arguments` (already quoted) in `folder`, stdin from /dev/null, no
// language in the environment.
CsvRun Tolvane(const TempFolder& folder, const std::string& arguments) {
  const std::string out_file = folder.File("stdout.txt");
  const std::string err_file = folder.File("stderr.txt");
  const std::string command =
      "cd " + folder.path().string() + " && env -u LANGUAGE -u LC_ALL -u LC_MESSAGES -u LANG " +
      std::string(KYR_TOLVANE) + " " + arguments + " </dev/null >" + out_file + " 2>" + err_file;
  const int raw = std::system(command.c_str());
  CsvRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadAll(out_file), ReadAll(err_file)};
  std::filesystem::remove(out_file);
  std::filesystem::remove(err_file);
  return run;
}

std::string InitialText() {
  SettingsImage image{};
  CommentTexts comments{};
  InitializeSettings(image, comments);
  return FormatSettingsText(image, comments);
}

TEST(TolvaneCsvCommand, ListsBesideTheFileAndAsksBeforeReplacing) {
  TempFolder folder;
  WriteAll(folder.File("set1.kdta"), InitialText());

  const CsvRun done = Tolvane(folder, "csv set1.kdta");
  EXPECT_EQ(done.status, 0);
  EXPECT_EQ(done.out, "Complete to generate CSV file.\n");
  const std::string listing = ReadAll(folder.File("set1.csv"));
  EXPECT_TRUE(listing.starts_with("Type,KYR-TC\r\n$$$ COMMON SETTINGS $$$\r\n"));

  WriteAll(folder.File("set1.csv"), "old");
  const CsvRun refused = Tolvane(folder, "csv set1.kdta");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("Specified file exists. Is it OK to overwrite?"), std::string::npos);
  EXPECT_EQ(ReadAll(folder.File("set1.csv")), "old");
  EXPECT_EQ(Tolvane(folder, "csv set1.kdta --yes").status, 0);
  EXPECT_EQ(ReadAll(folder.File("set1.csv")), listing);

  // -o names the listing; a name without .kdta gets .csv appended.
  const CsvRun japanese = Tolvane(folder, "--lang ja csv set1.kdta -o other.txt");
  EXPECT_EQ(japanese.status, 0);
  EXPECT_EQ(japanese.out, "CSV変換が正常に終了しました。\n");
  EXPECT_TRUE(ReadAll(folder.File("other.txt")).starts_with("機種,KYR-TC\r\n$$$ 共通設定 $$$\r\n"));
  std::filesystem::copy_file(folder.File("set1.kdta"), folder.File("plain"));
  EXPECT_EQ(Tolvane(folder, "csv plain").status, 0);
  EXPECT_EQ(ReadAll(folder.File("plain.csv")), listing);
}

TEST(TolvaneCsvCommand, ReportsBadFilesAndBadUsage) {
  TempFolder folder;
  const CsvRun missing = Tolvane(folder, "csv none.kdta");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "Fail to open the settings file.\n");

  WriteAll(folder.File("short.kdta"), InitialText().substr(0, 82 * 100));
  const CsvRun short_file = Tolvane(folder, "csv short.kdta");
  EXPECT_EQ(short_file.status, 1);
  EXPECT_EQ(short_file.err, "The settings file has illegal contents.\n");
  EXPECT_FALSE(std::filesystem::exists(folder.File("short.csv")));

  WriteAll(folder.File("good.kdta"), InitialText());
  const CsvRun unwritable = Tolvane(folder, "--lang ja csv good.kdta -o no/such.csv");
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_EQ(unwritable.out, "");
  EXPECT_EQ(unwritable.err, "ファイルの作成に失敗しました。\n");

  EXPECT_EQ(Tolvane(folder, "csv").status, 2);
  EXPECT_EQ(Tolvane(folder, "csv a.kdta b.kdta").status, 2);
  EXPECT_EQ(Tolvane(folder, "csv good.kdta -o").status, 2);
  EXPECT_EQ(Tolvane(folder, "csv good.kdta --force").status, 2);

  const CsvRun help = Tolvane(folder, "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("csv IN.kdta [-o OUT.csv] [--yes]"), std::string::npos);
  EXPECT_NE(help.out.find("window 1"), std::string::npos);
}

// diff answers like diff(1): 0 equal, 1 different (each setting on its own line), 2 unreadable.
TEST(TolvaneDiffCommand, NamesTheChangedSettingAndAnswersByExitStatus) {
  TempFolder folder;
  SettingsImage image{};
  CommentTexts comments{};
  InitializeSettings(image, comments);
  WriteAll(folder.File("a.kdta"), FormatSettingsText(image, comments));
  image[static_cast<std::size_t>(BankWord(7, 2))] = 200;  // "Light#1 Bright"
  WriteAll(folder.File("b.kdta"), FormatSettingsText(image, comments));

  const CsvRun same = Tolvane(folder, "diff a.kdta a.kdta");
  EXPECT_EQ(same.status, 0);
  EXPECT_EQ(same.out, "The settings are equal.\n");
  const CsvRun different = Tolvane(folder, "diff a.kdta b.kdta");
  EXPECT_EQ(different.status, 1);
  EXPECT_EQ(different.out, "Bank 7: Light#1 Bright: 128 -> 200\n1 settings differ.\n");
  const CsvRun japanese = Tolvane(folder, "--lang ja diff b.kdta a.kdta");
  EXPECT_EQ(japanese.status, 1);
  EXPECT_TRUE(japanese.out.starts_with("バンク 7: "));
  EXPECT_NE(japanese.out.find(": 200 -> 128\n"), std::string::npos);

  WriteAll(folder.File("short.kdta"), "0000\r\n");
  const CsvRun short_file = Tolvane(folder, "diff a.kdta short.kdta");
  EXPECT_EQ(short_file.status, 2);
  EXPECT_EQ(short_file.err, "short.kdta: The settings file has illegal contents.\n");
  EXPECT_EQ(Tolvane(folder, "diff none.kdta a.kdta").status, 2);
  EXPECT_EQ(Tolvane(folder, "diff a.kdta").status, 2);
}

}  // namespace
}  // namespace kyr::settings
