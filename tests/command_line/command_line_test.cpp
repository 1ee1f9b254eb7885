// The parsing rules the three programs share, and the JSON documents, from one table: each
// case runs a program in a fresh folder and checks its exit status and what it printed.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
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
  std::string setup = {};                   // shell commands run in the folder first ($RIDGEMO)
  std::string file = {};                    // a file to look at afterwards
  std::string file_starts = {};             // its first bytes; empty: it must not exist
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

const std::vector<std::string> kAuditKeys = {"backup", "time",   "result",
                                             "units",  "report", "exit_status"};

const std::vector<std::string> kSummaryKeys = {"command", "result", "exit_status", "messages",
                                               "output"};

// The start of a freshly initialised settings file.
constexpr const char* kInitialStart = "0009 00E4 0080 ";
constexpr const char* kNotReplaced =
    "Specified file exists. Is it OK to overwrite? no (use --yes to answer yes)\n";
constexpr const char* kIllegal = "The settings file has illegal contents.\n";

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
    // A list of ports is a line of units, each with a name of its own.
    {"ridgemo --port /dev/ttyS0,/dev/ttyS1 read-settings a.kdta", 2, "",
     "backup, restore and audit"},
    {"ridgemo --port a/u1,COM2,b/u1 backup x", 2, "", "a/u1 and b/u1 would both be unit u1"},
    {"ridgemo --port /dev/ttyS0,,COM2 backup x", 2, "", "an empty entry"},
    {"ridgemo --simulate devices --json", 0, "KYRD0001", "", {"devices"}},
    {"ridgemo --simulate compare same.kdta --json", 0, "\"equal\": true", "", kCompareKeys},
    {"ridgemo --simulate compare other.kdta --json", 1, "\"label\": \"Shutter Direct\"", "",
     kCompareKeys},
    {"ridgemo --simulate compare other.kdta", 1, "(file value -> head value)", ""},
    // A transfer's summary names its messages by id and name, in either language.
    {"ridgemo --simulate read-settings s.kdta --json", 0, "\"name\": \"SettingsReadComplete\"", "",
     kSummaryKeys},
    {"ridgemo --simulate write-settings same.kdta --start 3 --end 1 --json", 1,
     "\"name\": \"EmptyBankRange\"", "", kSummaryKeys},
    // Progress as lines when forced off a terminal, none with -q; -v shows the link's notes.
    {"ridgemo --simulate --progress read-settings --yes s.kdta", 0, "", "progress 64/64"},
    {"ridgemo --simulate -q --progress devices", 2, "", "--quiet excludes --progress"},
    {"ridgemo --simulate -v read-settings s.kdta", 0, "", "ridgemo: USB unit KYRD0001"},
    // An audit writes its page beside the backup, but never over a file it did not make.
    {"ridgemo --simulate audit b --json", 0, "\"result\": \"equal\"", "", kAuditKeys,
     "$RIDGEMO --simulate backup b >/dev/null", "b/audit.html", "<!DOCTYPE html>"},
    {"ridgemo --simulate audit b",
     2,
     "",
     "is not an audit report",
     {},
     "$RIDGEMO --simulate backup b >/dev/null && echo mine >b/audit.html",
     "b/audit.html",
     "mine"},
    {"ridgemo --simulate audit same.kdta", 2, "", "same.kdta is not a backup written by"},
    // No head on USB: the failure, what was found, and what to do; no file is written.
    {"ridgemo read-settings s.kdta", 1, "", "serial number begins with KYRD", {}, "", "s.kdta"},
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
    // tolvane's commands write only when told to replace, and name what went wrong.
    {"tolvane init x.kdta", 0, "", "", {}, "", "x.kdta", kInitialStart},
    {"tolvane init x.kdta", 1, "", kNotReplaced, {}, "echo old >x.kdta", "x.kdta", "old"},
    {"tolvane init x.kdta --yes", 0, "", "", {}, "echo old >x.kdta", "x.kdta", kInitialStart},
    {"tolvane --lang ja init none/x.kdta", 1, "", "ファイルの作成に失敗しました。"},
    {"tolvane init a --bogus", 2, "", ""},
    {"tolvane --lang fr init a", 2, "", "--lang"},
    {"tolvane --help", 0, "csv IN.kdta [-o OUT.csv] [--yes]", ""},
    {"tolvane --version", 0, "tolvane ", ""},
    {"tolvane upgrade foreign.kdta f.kdta",
     1,
     "",
     "The read setting file is not the KYR-TC.\n",
     {},
     "sed '509s/^0301/0302/' same.kdta >foreign.kdta",
     "f.kdta"},
    {"tolvane upgrade nope.kdta f.kdta", 1, "", "Fail to open the settings file.\n"},
    {"tolvane upgrade short.kdta f.kdta",
     1,
     "",
     kIllegal,
     {},
     "printf '0301\\r\\n' >short.kdta",
     "f.kdta"},
    {"tolvane csv same.kdta",
     0,
     "Complete to generate CSV file.\n",
     "",
     {},
     "",
     "same.csv",
     "Type,KYR-TC\r\n$$$ COMMON SETTINGS $$$\r\n"},
    {"tolvane csv same.kdta", 1, "", kNotReplaced, {}, "echo old >same.csv", "same.csv", "old"},
    {"tolvane csv same.kdta --yes", 0, "", "", {}, "echo old >same.csv", "same.csv", "Type,"},
    // -o names the listing, in the language asked for; a name without .kdta gets .csv.
    {"tolvane --lang ja csv same.kdta -o other.txt",
     0,
     "",
     "",
     {},
     "",
     "other.txt",
     "機種,KYR-TC\r\n$$$ 共通設定 $$$\r\n"},
    {"tolvane csv plain", 0, "", "", {}, "cp same.kdta plain", "plain.csv", "Type,"},
    {"tolvane csv none.kdta", 1, "", "Fail to open the settings file.\n"},
    {"tolvane csv short.kdta",
     1,
     "",
     kIllegal,
     {},
     "head -c 8200 same.kdta >short.kdta",
     "short.csv"},
    {"tolvane --lang ja csv same.kdta -o no/such.csv", 1, "", "ファイルの作成に失敗しました。\n"},
    {"tolvane csv", 2, "", ""},
    {"tolvane csv a.kdta b.kdta", 2, "", ""},
    {"tolvane csv same.kdta -o", 2, "", ""},
    {"tolvane csv same.kdta --force", 2, "", ""},
    // diff answers like diff(1): 0 equal, 1 different (a line per setting), 2 unreadable.
    {"tolvane diff same.kdta same.kdta", 0, "The settings are equal.\n", ""},
    {"tolvane diff same.kdta other.kdta", 1,
     "Bank 0: Shutter Direct: 228 -> 229\n1 settings differ.", ""},
    {"tolvane --lang ja diff other.kdta same.kdta", 1, "バンク 0: ", ""},
    {"tolvane diff same.kdta short.kdta",
     2,
     "",
     "short.kdta: The settings file has illegal",
     {},
     "printf '0000\\r\\n' >short.kdta"},
    {"tolvane diff none.kdta same.kdta", 2, "", ""},
};

class ProgramCommandLine : public ::testing::TestWithParam<std::string> {};

// same.kdta: the simulated head's settings (initial values, its stored images marked), read
// once; other.kdta: bank 0's first setting 229 instead of 228.
const std::string& SimulatedHeadText() {
  static const std::string text = [] {
    TempFolder folder;
    const Output read = RunIn(folder, "C", ProgramLine("ridgemo --simulate read-settings s.kdta"));
    return read.status == 0 ? kyr::test_common::ReadAll(folder.File("s.kdta")) : std::string();
  }();
  return text;
}

TEST_P(ProgramCommandLine, EveryCaseOfTheTable) {
  ASSERT_FALSE(SimulatedHeadText().empty());
  for (const Case& c : kCases) {
    TempFolder folder;
    kyr::test_common::WriteAll(folder.File("same.kdta"), SimulatedHeadText());
    kyr::test_common::WriteAll(folder.File("other.kdta"),
                               "0009 00E5" + SimulatedHeadText().substr(9));
    if (!c.setup.empty()) {
      const std::string setup = "cd " + folder.path().string() +
                                " && export RIDGEMO=" + std::string(KYR_RIDGEMO) + " && " + c.setup;
      ASSERT_EQ(std::system(setup.c_str()), 0);
    }
    const Output output = RunIn(folder, GetParam(), ProgramLine(c.command));
    SCOPED_TRACE(c.command + " (LANG=" + GetParam() + ")\n" + output.out + output.err);
    EXPECT_EQ(output.status, c.status);
    // Messages and listings follow the language; the JSON documents do not.
    if (GetParam() != "C" && c.json_keys.empty()) continue;
    if (!c.file.empty()) {
      const std::string file = folder.File(c.file);
      EXPECT_EQ(std::filesystem::exists(file), !c.file_starts.empty()) << c.file;
      EXPECT_TRUE(kyr::test_common::ReadAll(file).starts_with(c.file_starts)) << c.file;
    }
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
