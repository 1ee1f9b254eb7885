// ridgemo backup, restore and compare run as a user runs them, against kyr-headsim processes
// serving simulated head units on pseudo-terminals.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <thread>

#include "common/temp_folder.h"
#include "settings/initial_values.h"
#include "settings/settings_file.h"

extern char** environ;

namespace kyr::backup {
namespace {

namespace fs = std::filesystem;
using test_common::ReadAll;
using test_common::WriteAll;

const std::string kBinaries = KYR_BINARY_DIR;

class RidgemoBackup : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const pid_t pid : sims_) StopHead(pid);
  }

  std::string File(const std::string& name) const { return folder_.File(name); }

  // kyr-headsim on a pseudo-terminal linked at File(link); its process id.
  pid_t StartHead(const std::string& link, std::vector<std::string> options = {}) {
    std::vector<std::string> args = {kBinaries + "/app/kyr-headsim/kyr-headsim", "--link",
                                     File(link)};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    for (int i = 0; i < 500 && !fs::exists(File(link)); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    sims_.push_back(pid);
    return pid;
  }
  static void StopHead(pid_t pid) {
    if (::kill(pid, SIGTERM) == 0) ::waitpid(pid, nullptr, 0);
  }

  // ridgemo on the port File(link), stdin from /dev/null (so questions are answered No).
  int Run(const std::string& link, const std::string& args) const {
    const std::string command = kBinaries + "/app/ridgemo/ridgemo --lang en --port " + File(link) +
                                " " + args + " </dev/null >" + File("out.txt") + " 2>" +
                                File("err.txt");
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Out() const { return ReadAll(File("out.txt")); }
  std::string Err() const { return ReadAll(File("err.txt")); }

  // Initial settings with banks 0 and 1 registered and memory image 0 stored.
  std::string SourceSettings() {
    settings::SettingsImage image{};
    settings::CommentTexts comments{};
    settings::InitializeSettings(image, comments);
    image[settings::BankWord(0, 5)] &= 0x7FFF;
    image[settings::BankWord(1, 5)] &= 0x7FFF;
    image[settings::CommonWord(10)] = 0xFFFE;
    WriteAll(File("source.kdta"), settings::FormatSettingsText(image));
    return File("source.kdta");
  }

  test_common::TempFolder folder_;
  std::vector<pid_t> sims_;
};

TEST_F(RidgemoBackup, BackupRestoreCompareBetweenTwoUnits) {
  StartHead("a", {"--settings", SourceSettings()});
  StartHead("b");
  const std::string dir = File("unit");
  ASSERT_EQ(Run("a", "backup " + dir), 0) << Err();
  EXPECT_EQ(Out(), "Backup complete: " + dir + "\n");
  for (const char* name :
       {"manifest.json", "index.html", "head1/settings.kdta", "head1/bank.00.kimg",
        "head1/bank.01.bmp", "head1/memory.00.kimg", "head1/memory.00.bmp"}) {
    EXPECT_TRUE(fs::exists(dir + "/" + name)) << name;
  }
  EXPECT_EQ(Run("a", "backup " + dir), 1);  // exists, and nobody answers Yes

  EXPECT_EQ(Run("b", "compare " + dir + "/head1/settings.kdta"), 1);
  EXPECT_EQ(Run("b", "restore " + dir), 1);  // asked once, answered No
  ASSERT_EQ(Run("b", "restore " + dir + " --verify --yes"), 0) << Err();
  EXPECT_EQ(Out(),
            "Restore complete.\nRead back and checked: the head holds what the backup holds "
            "(settings and 3 images).\n");
  ASSERT_EQ(Run("b", "compare " + dir + "/head1/settings.kdta"), 0) << Out() << Err();
  EXPECT_EQ(Out(), "The settings are equal.\n");
  ASSERT_EQ(Run("b", "backup " + File("copy")), 0) << Err();
  for (const char* name : {"head1/settings.kdta", "head1/bank.00.kimg", "head1/bank.01.kimg",
                           "head1/memory.00.kimg"}) {
    EXPECT_EQ(ReadAll(File("copy/") + name), ReadAll(dir + "/" + name)) << name;
  }

  // One changed setting is named exactly.
  settings::SettingsImage changed{};
  ASSERT_EQ(settings::ReadSettingsFile(dir + "/head1/settings.kdta", changed),
            settings::ReadResult::kComplete);
  changed[settings::BankWord(1, 11)] = 45;  // "ProcessLmtTime"
  WriteAll(File("changed.kdta"), settings::FormatSettingsText(changed));
  EXPECT_EQ(Run("b", "compare " + File("changed.kdta")), 1);
  EXPECT_EQ(Out(), "The file " + File("changed.kdta") +
                       " against head 1 (file value -> head value):\n"
                       "Bank 1: ProcessLmtTime: 45 -> 20\n1 settings differ.\n");

  // A damaged folder is refused before the link opens.
  std::string bytes = ReadAll(dir + "/head1/bank.01.kimg");
  bytes[77] ^= 0x10;
  WriteAll(dir + "/head1/bank.01.kimg", bytes);
  EXPECT_EQ(Run("nobody", "restore --yes " + dir), 1);
  EXPECT_EQ(Err(), "Restore failed: " + dir +
                       "/head1/bank.01.kimg does not match its checksum. "
                       "Nothing was sent.\n");
}

TEST_F(RidgemoBackup, EveryHeadOfAUnitAndADroppedLink) {
  StartHead("two", {"--heads", "2"});
  ASSERT_EQ(Run("two", "--head all backup " + File("all") + " --images none"), 0) << Err();
  EXPECT_TRUE(fs::exists(File("all/head2/settings.kdta")));
  EXPECT_FALSE(fs::exists(File("all/head3")));
  EXPECT_EQ(Run("two", "--head all read-settings " + File("x.kdta")), 2);

  // --device all: every unit on USB (here the built-in simulated one) into DIR/SERIAL.
  ASSERT_EQ(Run("two", "--simulate --device all backup " + File("line") + " --images none"), 0)
      << Err();
  EXPECT_NE(ReadAll(File("line/KYRD0001/manifest.json")).find("\"unit_serial\": \"KYRD0001\""),
            std::string::npos);
  EXPECT_EQ(Run("two", "--simulate --device all backup " + File("line") + " --images none"), 1);
  EXPECT_NE(Err().find("Units that failed: KYRD0001"), std::string::npos) << Err();

  // The head goes away in the middle of the images: no folder and no staging folder stay.
  const pid_t slow = StartHead("slow", {"--settings", SourceSettings(), "--baud", "115200"});
  std::thread unplug([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    StopHead(slow);
  });
  EXPECT_EQ(Run("slow", "backup " + File("cut")), 1);
  unplug.join();
  EXPECT_NE(Err().find("Backup failed; " + File("cut") + " was not written"), std::string::npos)
      << Err();
  for (const std::string& name : folder_.Names())
    EXPECT_EQ(name.find("cut"), std::string::npos) << name;
}

// With --yes only a backup of the same kind is replaced: other folders are refused before the
// link opens, and a line backup run again leaves the units it does not back up in place.
TEST_F(RidgemoBackup, YesReplacesOnlyABackupOfTheSameKind) {
  StartHead("a");
  fs::create_directory(File("notbackup"));
  WriteAll(File("notbackup/thesis.txt"), "important");
  EXPECT_EQ(Run("nobody", "backup " + File("notbackup") + " --yes"), 1);
  EXPECT_NE(Err().find(File("notbackup") + " is not a backup"), std::string::npos) << Err();
  EXPECT_EQ(ReadAll(File("notbackup/thesis.txt")), "important");

  const std::string line = File("line");
  ASSERT_EQ(Run("a", "--simulate --device all backup " + line + " --images none"), 0) << Err();
  fs::copy(line + "/KYRD0001", line + "/KYRD0009", fs::copy_options::recursive);
  EXPECT_EQ(Run("a", "backup " + line + " --yes --images none"), 1);
  EXPECT_NE(Err().find(" is a line backup"), std::string::npos) << Err();
  EXPECT_EQ(Run("a", "--simulate --device all backup " + line + "/KYRD0001 --yes"), 1);
  EXPECT_NE(Err().find(" is the backup of one unit"), std::string::npos) << Err();

  ASSERT_EQ(Run("a", "--simulate --device all backup " + line + " --yes --images none"), 0)
      << Err();
  EXPECT_NE(Out().find("Replacing the backup of unit KYRD0001.\n"), std::string::npos) << Out();
  EXPECT_NE(Out().find("Left in place, not backed up now: KYRD0009\n"), std::string::npos) << Out();
  EXPECT_TRUE(fs::exists(line + "/KYRD0009/manifest.json"));
}

// A line of serial units: one folder per port, named by the port; a unit that does not answer
// is named in the summary, and the others are backed up and restored all the same.
TEST_F(RidgemoBackup, EveryPortOfALine) {
  StartHead("p1", {"--settings", SourceSettings()});
  const pid_t second = StartHead("p2", {"--heads", "2"});
  const std::string ports = "--port " + File("p1") + "," + File("p2");
  const std::string line = File("line");
  ASSERT_EQ(Run("p1", ports + " --head all backup " + line + " --images bank"), 0) << Err();
  EXPECT_TRUE(fs::exists(line + "/p1/head1/bank.01.kimg"));
  EXPECT_TRUE(fs::exists(line + "/p2/head2/settings.kdta"));
  EXPECT_NE(ReadAll(line + "/p2/manifest.json").find("\"port\": \"" + File("p2") + "\""),
            std::string::npos);

  StopHead(second);
  EXPECT_EQ(Run("p1", ports + " backup " + line + " --yes --images none --json"), 1);
  const auto summary = nlohmann::json::parse(Out(), nullptr, false);
  ASSERT_TRUE(summary.contains("units")) << Out();
  EXPECT_EQ(summary["units"][0]["result"], "done");
  EXPECT_EQ(summary["units"][1]["name"], "p2");
  EXPECT_EQ(summary["units"][1]["result"], "failed");
  EXPECT_EQ(summary["messages"].back()["text"], "Units that failed: p2");
  EXPECT_FALSE(fs::exists(line + "/p1/head1/bank.01.kimg"));  // replaced: no images now
  EXPECT_TRUE(fs::exists(line + "/p2/head2/settings.kdta"));  // the failed unit's stays

  EXPECT_EQ(Run("p1", ports + " restore " + line + " --yes"), 1);
  EXPECT_NE(Out().find("Restore complete: unit p1.\n"), std::string::npos) << Out();
  EXPECT_NE(Err().find("Units that failed: p2\n"), std::string::npos) << Err();
}

}  // namespace
}  // namespace kyr::backup
