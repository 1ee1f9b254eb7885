// The parsing rules the three programs share, and the JSON documents, from one table: each
// case runs a program in a fresh folder and checks its exit status and what it printed.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "common/temp_folder.h"

namespace {

using kyr::test_common::TempFolder;

struct Output {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs `command` (program and arguments, already quoted) in `folder` with LANG=`lang`.
Output RunIn(const TempFolder& folder, const std::string& lang, const std::string& command) {
  const std::string out = folder.File("stdout.txt");
  const std::string err = folder.File("stderr.txt");
  const std::string line = "cd " + folder.path().string() +
                           " && env -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG=" + lang + ' ' +
                           command + " </dev/null >" + out + " 2>" + err;
  const int raw = std::system(line.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, kyr::test_common::ReadAll(out),
          kyr::test_common::ReadAll(err)};
}

struct Case {
  std::string command;  // ridgemo, tolvane or kyr-headsim, then the arguments
  int status;
  std::string out;                          // text stdout contains, or empty
  std::string err;                          // text stderr contains, or empty
  std::vector<std::string> json_keys = {};  // stdout is JSON with these keys at the top
};

std::string Program(const std::string& name) {
  if (name == "ridgemo") return KYR_RIDGEMO;
  if (name == "tolvane") return KYR_TOLVANE;
  return KYR_HEADSIM;
}

// "tolvane init x" -> the built tolvane with "init x".
std::string ProgramLine(const std::string& command) {
  const std::size_t space = command.find(' ');
  return Program(command.substr(0, space)) +
         (space == std::string::npos ? "" : command.substr(space));
}

const std::vector<std::string> kCompareKeys = {"file",      "head",     "equal",
                                               "converted", "versions", "differences"};

const std::vector<std::string> kSummaryKeys = {"command", "result", "exit_status", "messages",
                                               "output"};

const std::vector<Case> kCases = {
    // A value left out is not taken from the next option.
    {"ridgemo --port --yes read-settings a.kdta", 2, "", "not the option --yes"},
    {"ridgemo read-settings", 2, "", "usage: ridgemo read-settings OUT.kdta"},
    {"ridgemo no-such-command", 2, "", "see ridgemo --help"},
    {"ridgemo read-images --help", 0, "--type bank|memory|shoot|ng", ""},
    {"ridgemo to-bmp -h", 0, "IN.kimg OUT.bmp", ""},
    // Global options after the command, joined values, and a file name after --.
    {"ridgemo to-bmp a.kimg b.bmp --lang=ja", 1, "", "画像ファイル"},
    {"ridgemo to-bmp --head=4 a b", 2, "", "--head takes 1, 2 or 3"},
    {"ridgemo to-bmp -- --a.kimg b.bmp", 1, "", ""},
    {"ridgemo compare x.kdta --head all", 2, "", "backup only"},
    {"ridgemo --simulate devices --json", 0, "KYRD0001", "", {"devices"}},
    {"ridgemo --simulate compare same.kdta --json", 0, "\"equal\": true", "", kCompareKeys},
    {"ridgemo --simulate compare other.kdta --json", 1, "\"label\": \"Shutter Direct\"", "",
     kCompareKeys},
    {"ridgemo --simulate compare other.kdta", 1, "(file value -> head value)", ""},
    // A transfer's summary names its messages by id and name, in either language.
    {"ridgemo --simulate read-settings s.kdta --json", 0, "\"name\": \"SettingsReadComplete\"",
     "", kSummaryKeys},
    {"ridgemo --simulate write-settings same.kdta --start 3 --end 1 --json", 1,
     "\"name\": \"EmptyBankRange\"", "", kSummaryKeys},
    // Progress as lines when forced off a terminal, none with -q; -v shows the link's notes.
    {"ridgemo --simulate --progress read-settings --yes s.kdta", 0, "", "progress 64/64"},
    {"ridgemo --simulate -q --progress devices", 2, "", "--quiet excludes --progress"},
    {"ridgemo --simulate -v read-settings s.kdta", 0, "", "ridgemo: USB unit KYRD0001"},
    {"tolvane init -- -x.kdta", 0, "", ""},
    {"tolvane init a b", 2, "", "init OUT.kdta"},
    {"tolvane diff a.kdta", 2, "", "wrong number of arguments for diff"},
    {"tolvane init --page 2 a.kdta", 2, "", "--page applies to the window"},
    {"tolvane csv --help", 0, "-o OUT.csv", ""},
    {"tolvane diff same.kdta other.kdta --json",
     1,
     "\"b\": \"229\"",
     "",
     {"a", "b", "equal", "converted", "versions", "differences"}},
    {"kyr-headsim --version", 0, "kyr-headsim ", ""},
    {"kyr-headsim --version 3", 2, "", "--version V is now --settings-version V"},
    {"kyr-headsim --link=x --heads 4", 2, "", "--heads"},
    {"kyr-headsim --link x --faults 1:2000", 2, "", "SEED:PERMILLE"},
};

class ProgramCommandLine : public ::testing::TestWithParam<std::string> {};

TEST_P(ProgramCommandLine, EveryCaseOfTheTable) {
  for (const Case& c : kCases) {
    TempFolder folder;
    // same.kdta: the simulated head's settings (initial values, its stored images marked).
    ASSERT_EQ(RunIn(folder, "C", ProgramLine("ridgemo --simulate read-settings same.kdta")).status,
              0);
    // other.kdta: bank 0's first setting 229 instead of 228.
    std::string other = kyr::test_common::ReadAll(folder.File("same.kdta"));
    other.replace(0, 9, "0009 00E5");
    kyr::test_common::WriteAll(folder.File("other.kdta"), other);
    const Output output = RunIn(folder, GetParam(), ProgramLine(c.command));
    SCOPED_TRACE(c.command + " (LANG=" + GetParam() + ")\n" + output.out + output.err);
    EXPECT_EQ(output.status, c.status);
    // Messages follow the language; the JSON documents do not.
    if (GetParam() != "C" && c.json_keys.empty()) continue;
    EXPECT_NE(output.out.find(c.out), std::string::npos);
    EXPECT_NE(output.err.find(c.err), std::string::npos);
    if (c.json_keys.empty()) continue;
    const auto document = nlohmann::ordered_json::parse(output.out, nullptr, false);
    ASSERT_TRUE(document.is_object());
    std::vector<std::string> keys;
    for (const auto& item : document.items()) keys.push_back(item.key());
    EXPECT_EQ(keys, c.json_keys);
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, ProgramCommandLine, ::testing::Values("C", "ja_JP.UTF-8"));

}  // namespace
