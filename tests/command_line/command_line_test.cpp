// The three programs' command lines from one table: each case runs a program in a fresh
// folder (with a kyr-headsim on a pseudo-terminal there when it asks for one) and checks its
// exit status, what it printed, and the files it left.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "common/temp_folder.h"

extern char** environ;

namespace {

using kyr::test_common::TempFolder;

struct Output {
  int status = -1;
  std::string out;
  std::string err;
};

// The shell line that puts the three programs' paths into the environment, then goes to
// `folder`.
std::string InFolder(const TempFolder& folder) {
  return std::string("export RIDGEMO=") + KYR_RIDGEMO + " TOLVANE=" + KYR_TOLVANE +
         " HEADSIM=" + KYR_HEADSIM + " && cd " + folder.path().string() + " && ";
}

// Runs `command` (program and arguments, already quoted) in `folder` with LANG=`lang`. With a
// `signal`, it is sent once the program has a pseudo-terminal open and some blocks went over.
Output RunIn(const TempFolder& folder, const std::string& lang, const std::string& command,
             const std::string& signal = {}) {
  const std::string out = folder.File("stdout.txt");
  const std::string err = folder.File("stderr.txt");
  const std::string run = "env -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG=" + lang + ' ' + command +
                          " </dev/null >" + out + " 2>" + err;
  std::string line = InFolder(folder) + run;
  if (!signal.empty()) {
    line = InFolder(folder) + "{ " + run +
           " & pid=$!; for i in $(seq 2000); do ls -l /proc/$pid/fd 2>/dev/null | grep -q "
           "/dev/pts/ && break; sleep 0.005; done; sleep 0.3; kill -" +
           signal + " $pid; wait $pid; }";
  }
  const int raw = std::system(line.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, kyr::test_common::ReadAll(out),
          kyr::test_common::ReadAll(err)};
}

// kyr-headsim with `options` serving a head on `folder`/head while it lives.
class HeadSim {
 public:
  HeadSim(const TempFolder& folder, const std::string& options) {
    if (options.empty()) return;
    const std::string line =
        InFolder(folder) + "exec \"$HEADSIM\" --link head " + options + " >/dev/null 2>&1";
    const char* argv[] = {"/bin/sh", "-c", line.c_str(), nullptr};
    if (::posix_spawn(&pid_, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
      pid_ = -1;
    }
    for (int i = 0; i < 500 && pid_ > 0 && !std::filesystem::exists(folder.File("head")); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  ~HeadSim() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  HeadSim(const HeadSim&) = delete;
  HeadSim& operator=(const HeadSim&) = delete;

 private:
  pid_t pid_ = -1;
};

struct Case {
  std::string command;  // ridgemo, tolvane or kyr-headsim, then the arguments
  int status;
  std::string out = {};                     // text stdout contains, or empty
  std::string err = {};                     // text stderr contains, or empty
  std::vector<std::string> json_keys = {};  // stdout is JSON with these keys at the top
  std::string setup = {};                   // shell commands run in the folder first ($RIDGEMO)
  std::string file = {};                    // a file to look at afterwards
  std::string file_starts = {};             // its first bytes; empty: it must not exist
  std::string check = {};    // a shell condition on the folder afterwards ($RIDGEMO, ...)
  std::string headsim = {};  // kyr-headsim's options: a head on ./head during the case
  std::string signal = {};   // sent to the program once it has the head's line open
};

std::string Program(const std::string& name) {
  if (name == "ridgemo") return KYR_RIDGEMO;
  if (name == "tolvane") return KYR_TOLVANE;
  return KYR_HEADSIM;
}

// "tolvane init x" -> the built tolvane with "init x"; NAME=VALUE words before the program
// stay in front of it.
std::string ProgramLine(const std::string& command) {
  std::size_t start = 0;
  while (command.find('=', start) < command.find(' ', start)) start = command.find(' ', start) + 1;
  const std::size_t space = command.find(' ', start);
  return command.substr(0, start) + Program(command.substr(start, space - start)) +
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
constexpr const char* kOpenFailed = "Fail to open Port.\n";
constexpr const char* kCannotOpenImage = "Fail to open the image file.";
constexpr const char* kNoYes = "no (use --yes to answer yes)";
constexpr const char* kReadDone = "Complete to read all setting values.";
constexpr const char* kWriteDone = "Complete to write all setting values.";
constexpr const char* kBadUnits = "--simulate=N and --simulate --units N take 1 to";
// The first read request of a settings read, as the trace shows it.
constexpr const char* kFirstBlockTraced = "grep -q -- '->  10 00 00 00 80 00 6F' ";

// An image file of grey cells, and two copies named for images 2 and 5.
const std::string kGreyImage = "head -c 131072 /dev/zero | tr '\\0' '\\200' >grey.kimg";
const std::string kNumberedImages =
    kGreyImage + " && cp grey.kimg b.02.kimg && cp grey.kimg b.05.kimg";
// Bank 2's first word changed (banks 2 to 4 land in banks 10 to 12 with --to 10, lines 121
// to 156), and a common setting changed.
const std::string kChangedBanks = "sed '25s/^0009/0011/; 510s/^001C/0022/' same.kdta >in.kdta";
// The head read back into back.kdta.
const std::string kReadBack = "\"$RIDGEMO\" --port head read-settings back.kdta >/dev/null 2>&1";
// A slow line, so that a signal comes in the middle of a transfer.
const std::string kSlowHead = "--settings same.kdta --baud 38400";

// A whole bitmap of the 480 x 272 canvas at `name`.
std::string WholeBitmap(const std::string& name) {
  return "test $(stat -c%s " + name + ") -eq 391734";
}

// The lines ridgemo devices prints for `units` units.
std::string DeviceLines(int units) {
  return "test $(wc -l <stdout.txt) -eq " + std::to_string(units + 1);
}
// A line backup of the simulated unit, made in the folder by ridgemo itself.
constexpr const char* kLineBackup =
    "\"$RIDGEMO\" --simulate --device all backup line --images none >/dev/null";

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
    {"ridgemo --simulate --progress backup b --images none", 0, "",
     "progress 1 of 1 files, 16 KB of 16 KB"},
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
    // A line's units are read at once, each with its own line on the display.
    {"ridgemo --simulate=3 --device all --progress audit line --images none",
     0,
     "Every unit equals the backup line.",
     "progress KYRD0003: ",
     {},
     "\"$RIDGEMO\" --simulate=3 --device all backup line --images none >/dev/null"},
    // No head on USB: the failure, what was found, and what to do; no file is written.
    {"ridgemo read-settings s.kdta", 1, "", "serial number begins with KYRD", {}, "", "s.kdta"},
    // backup replaces only a backup of its own kind (a line backup: one folder per unit) and
    // refuses anything else before the link opens; restore checks the folder first.
    {"ridgemo backup notbackup --yes",
     1,
     "",
     "notbackup is not a backup",
     {},
     "mkdir notbackup && echo important >notbackup/thesis.txt",
     "notbackup/thesis.txt",
     "important"},
    {"ridgemo backup line --yes --images none", 1, "", "line is a line backup", {}, kLineBackup},
    {"ridgemo --simulate --device all backup line/KYRD0001 --yes",
     1,
     "",
     "is the backup of one unit",
     {},
     kLineBackup},
    {"ridgemo --simulate --device all backup line --images none",
     1,
     "",
     "Units that failed: KYRD0001",
     {},
     kLineBackup},
    {"ridgemo --simulate --device all backup line --yes --images none",
     0,
     "Left in place, not backed up now: KYRD0009",
     "",
     {},
     std::string(kLineBackup) + " && cp -r line/KYRD0001 line/KYRD0009",
     "line/KYRD0009/manifest.json",
     "{"},
    {"ridgemo --head all read-settings x.kdta", 2, "", ""},
    {"ridgemo restore --yes unit",
     1,
     "",
     "Restore failed: unit/head1/settings.kdta does not match its checksum. Nothing was sent.",
     {},
     "\"$RIDGEMO\" --simulate backup unit --images none && sed -i '1s/^0/1/' "
     "unit/head1/settings.kdta"},
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
    // clang-format off
    // to-bmp draws the image as the window does: row 0 of the canvas is the file's last row,
    // grey 96 in its first pixel and black from pixel 256.
    {.command = "ridgemo to-bmp grey.kimg grey.bmp", .status = 0, .setup = kGreyImage,
     .file = "grey.bmp", .file_starts = "BM",
     .check = WholeBitmap("grey.bmp") + " && test $(od -An -tu1 -j 390294 -N1 grey.bmp) -eq 96"
              " && test $(od -An -tu1 -j 391062 -N1 grey.bmp) -eq 0"},
    {.command = "ridgemo to-bmp short.kimg short.bmp", .status = 1, .err = kCannotOpenImage,
     .setup = "head -c 131071 /dev/zero >short.kimg", .file = "short.bmp"},
    {.command = "ridgemo to-bmp absent.kimg x.bmp", .status = 1, .err = kCannotOpenImage,
     .file = "x.bmp"},
    {.command = "ridgemo to-bmp grey.kimg old.bmp", .status = 1, .err = kNoYes,
     .setup = kGreyImage + " && echo xx >old.bmp", .file = "old.bmp", .file_starts = "xx\n"},
    {.command = "ridgemo to-bmp --yes grey.kimg old.bmp", .status = 0,
     .setup = kGreyImage + " && echo xx >old.bmp", .check = WholeBitmap("old.bmp")},
    {"ridgemo to-bmp grey.kimg", 2, "", "usage: ridgemo to-bmp"},
    {"ridgemo --lang fr to-bmp a b", 2, "", "--lang"},
    {"ridgemo --help", 0, "read-settings", ""},
    // A link failure prints the message's own text, then the port and the reason.
    {"ridgemo --port /dev/kyr-no-such-port read-settings a.kdta", 1, "",
     std::string(kOpenFailed) + "/dev/kyr-no-such-port: No such file or directory\n"},
    {.command = "ridgemo --port plain read-images --type bank b.kimg", .status = 1,
     .err = std::string(kOpenFailed) + "plain: not a serial port\n", .setup = "echo x >plain"},
    // Images of the simulated head: NG pictures named after their records, --only as chosen,
    // files replaced and images written only with --yes, and only bank and memory images.
    {.command = "ridgemo --simulate read-images --type ng ng.kimg", .status = 0,
     .out = "Complete to read image.",
     .check = "ls ng.*.kimg && for f in ng.*.kimg; do test $(stat -c%s $f) -eq 131072 || exit 1; done"},
    {.command = "ridgemo --simulate read-images --type bank b.kimg --only 2,5", .status = 0,
     .check = "test \"$(ls *.kimg | tr '\\n' ' ')\" = 'b.02.kimg b.05.kimg '"},
    {.command = "ridgemo --simulate read-images --type bank b.kimg --only 2", .status = 1,
     .err = kNoYes, .setup = kNumberedImages, .file = "b.02.kimg", .file_starts = "\x80\x80"},
    {.command = "ridgemo --simulate write-images --type memory b.02.kimg", .status = 1,
     .err = kNoYes, .setup = kNumberedImages},
    {.command = "ridgemo --simulate --yes write-images --type memory b.02.kimg b.05.kimg",
     .status = 0, .out = "Complet to write the image.", .err = "Memory No.2, No.5",
     .setup = kNumberedImages},
    {.command = "ridgemo --simulate --yes write-images --type shoot b.02.kimg", .status = 1,
     .err = "The target are only Bank and Memory.", .setup = kNumberedImages},
    {.command = "ridgemo --simulate --yes write-images --type memory m.25.kimg", .status = 1,
     .err = "The specified image number from file name is too large.",
     .setup = kGreyImage + " && cp grey.kimg m.25.kimg"},
    {.command = "ridgemo --simulate --yes write-images --type bank b.02.kimg s.03.kimg",
     .status = 1, .err = kCannotOpenImage,
     .setup = kNumberedImages + " && head -c 9 grey.kimg >s.03.kimg"},
    {"ridgemo --simulate read-images --type bank b.bin", 2, "", "must end in .kimg"},
    {"ridgemo --simulate read-images --type shoot s.kimg --only 6", 2, "", "numbers 0 to 5"},
    {"ridgemo --simulate read-images s.kimg", 2, "", "usage: ridgemo read-images"},
    {"ridgemo --simulate write-images --type bank grey.kimg", 2, "", "carries no image number"},
    {"ridgemo --simulate write-images --type memory grey.kimg --number 20", 2, "",
     "one image number 0 to 19"},
    // A simulated line of N units: devices lists N serial numbers.
    {.command = "ridgemo --simulate devices", .status = 0, .out = "KYRD0001", .check = DeviceLines(1)},
    {.command = "ridgemo --simulate=3 devices", .status = 0, .out = "KYRD0003", .check = DeviceLines(3)},
    {.command = "ridgemo --simulate --units 2 devices", .status = 0, .out = "KYRD0002",
     .check = DeviceLines(2)},
    {.command = "ridgemo --units 4 --simulate devices", .status = 0, .out = "KYRD0004",
     .check = DeviceLines(4)},
    {"ridgemo --simulate=0 devices", 2, "", kBadUnits},
    {"ridgemo --simulate=17 devices", 2, "", kBadUnits},
    {"ridgemo --simulate --units x devices", 2, "", kBadUnits},
    // The monitor saves a whole frame, bottom rows included, to the path as given; USB only.
    {.command = "ridgemo --simulate monitor --frames 2 --bmp screen", .status = 0,
     .check = WholeBitmap("screen") + " && test $(tail -c +55 screen | tr -d '\\000' | wc -c) -gt 97933"},
    {.command = "ridgemo --simulate --port COM1 monitor --frames 1 --bmp com.bmp", .status = 1,
     .err = "ImageMonitor is USB only.", .file = "com.bmp"},
    {"ridgemo monitor --frames 0 --bmp x.bmp", 2, "", ""},
    // Settings over a pseudo-terminal to kyr-headsim in a process of its own.
    {.command = "ridgemo --port head read-settings copy.kdta", .status = 0, .out = kReadDone,
     .check = "cmp copy.kdta same.kdta", .headsim = "--settings same.kdta"},
    {.command = "ridgemo --port head write-settings in.kdta --start 2 --end 4 --to 10 --no-common"
                " --verify", .status = 0, .out = kWriteDone, .setup = kChangedBanks,
     .check = kReadBack + " && sed -n 121,156p back.kdta >moved && sed -n 25,60p in.kdta |"
              " cmp -s - moved && sed 121,156d back.kdta >kept && sed 121,156d same.kdta | cmp -s - kept",
     .headsim = "--settings same.kdta"},
    {.command = "ridgemo --simulate read-settings copy.kdta", .status = 1,
     .err = "File already exists. Overwrite? no", .setup = "echo old >copy.kdta",
     .file = "copy.kdta", .file_starts = "old"},
    {.command = "ridgemo write-settings short.kdta", .status = 1, .err = "line 301",
     .setup = "head -n 300 same.kdta >short.kdta"},
    {"ridgemo --simulate --head 2 write-settings same.kdta", 1, "", "Selected KYR head is not exist."},
    {"ridgemo write-settings same.kdta --start 30 --end 31 --to 31", 1, "", ""},
    {"ridgemo write-settings same.kdta --start 3 --end 1", 1, "", "The start bank is after the end bank"},
    {"ridgemo write-settings same.kdta --start 32", 2, "", "banks are numbers from 0 to 31"},
    {"ridgemo read-settings a.kdta b.kdta", 2, "", "usage: ridgemo read-settings"},
    // The trace goes to the file --trace names, else to KYR_TRACE's; one that cannot be made
    // stops the command before it touches the head, one that fills up is reported once.
    {.command = "KYR_TRACE=v.txt ridgemo --simulate --trace o.txt read-settings a.kdta",
     .status = 0, .file = "v.txt", .check = kFirstBlockTraced + std::string("o.txt")},
    {.command = "KYR_TRACE=v.txt ridgemo --simulate read-settings a.kdta", .status = 0,
     .check = kFirstBlockTraced + std::string("v.txt")},
    {.command = "ridgemo --simulate --trace none/t.txt read-settings c.kdta", .status = 2,
     .err = "cannot write the trace file", .file = "c.kdta"},
    {.command = "ridgemo --simulate --trace /dev/full read-settings d.kdta", .status = 0,
     .err = "the trace file \"/dev/full\" cannot be written", .file = "d.kdta", .file_starts = "0009",
     .check = "test $(grep -c 'cannot be written' stderr.txt) -eq 1"},
    // Ctrl-C and SIGTERM over a slow line: a write says the head is partly written and a
    // second run completes it; a read leaves no file behind.
    {.command = "ridgemo --port head write-settings in.kdta", .status = 1,
     .err = "Interrupted: the head is partly written.", .setup = kChangedBanks,
     .check = "\"$RIDGEMO\" --port head write-settings in.kdta >/dev/null 2>&1 && " + kReadBack +
              " && cmp back.kdta in.kdta",
     .headsim = kSlowHead, .signal = "INT"},
    {.command = "ridgemo --port head read-settings copy.kdta", .status = 1,
     .err = "Interrupted: no file was written",
     .check = "test \"$(ls -A | tr '\\n' ' ')\" = 'head other.kdta same.kdta stderr.txt stdout.txt '",
     .headsim = kSlowHead, .signal = "TERM"},
    // clang-format on
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
      ASSERT_EQ(std::system((InFolder(folder) + c.setup).c_str()), 0) << c.setup;
    }
    const HeadSim head(folder, c.headsim);
    const Output output = RunIn(folder, GetParam(), ProgramLine(c.command), c.signal);
    SCOPED_TRACE(c.command + " (LANG=" + GetParam() + ")\n" + output.out + output.err);
    EXPECT_EQ(output.status, c.status);
    // Messages and listings follow the language; the JSON documents do not.
    if (GetParam() != "C" && c.json_keys.empty()) continue;
    if (!c.file.empty()) {
      const std::string file = folder.File(c.file);
      EXPECT_EQ(std::filesystem::exists(file), !c.file_starts.empty()) << c.file;
      EXPECT_TRUE(kyr::test_common::ReadAll(file).starts_with(c.file_starts)) << c.file;
    }
    if (!c.check.empty()) {
      EXPECT_EQ(std::system((InFolder(folder) + "( " + c.check + " ) >/dev/null").c_str()), 0)
          << c.check;
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
