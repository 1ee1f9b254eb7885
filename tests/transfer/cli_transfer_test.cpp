// ridgemo read-settings and write-settings run as a user runs them, against kyr-headsim
// serving a simulated head unit on a pseudo-terminal in a process of its own.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "transfer_rig.h"

extern char** environ;

namespace kyr::transfer {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;
using testing::WriteAll;

const std::string kBinaries = KYR_BINARY_DIR;

class RidgemoSettings : public ::testing::Test {
 protected:
  void TearDown() override {
    if (sim_ <= 0) return;
    ::kill(sim_, SIGTERM);
    ::waitpid(sim_, nullptr, 0);
  }

  std::string File(const std::string& name) const { return folder_.File(name); }

  // kyr-headsim with `settings` on a pseudo-terminal linked at File("head").
  bool StartHeadSim(const std::string& settings, const std::vector<std::string>& more = {}) {
    std::vector<std::string> args = {kBinaries + "/app/kyr-headsim/kyr-headsim", "--link",
                                     File("head"), "--settings", settings};
    args.insert(args.end(), more.begin(), more.end());
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&sim_, argv[0], nullptr, nullptr, argv.data(), environ) != 0) sim_ = -1;
    for (int i = 0; i < 500 && sim_ > 0 && !fs::exists(File("head")); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return fs::exists(File("head"));
  }

  // Exit status of ridgemo with `args` on the head's port; no terminal, so questions are
  // answered No.
  std::string Command(const std::string& args) const {
    return environment_ + kBinaries + "/app/ridgemo/ridgemo --lang en --port " + File("head") +
           " " + args + " </dev/null >" + File("out.txt") + " 2>" + File("err.txt");
  }
  int Run(const std::string& args) const {
    const int status = std::system(Command(args).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // Starts ridgemo with `args`, sends it `signal` once it has the head's port open, and
  // returns its exit status (-1 when the signal killed it).
  int RunInterrupted(const std::string& args, int signal) const {
    const std::string command = "exec " + Command(args);
    const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    pid_t pid = -1;
    if (::posix_spawn(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
      return -2;
    }
    const fs::path fds = "/proc/" + std::to_string(pid) + "/fd";
    const auto port_open = [&] {
      std::error_code error;
      for (const auto& fd : fs::directory_iterator(fds, error)) {
        if (fs::read_symlink(fd, error).string().starts_with("/dev/pts/")) return true;
      }
      return false;
    };
    for (int i = 0; i < 2000 && !port_open(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // some blocks on the line
    ::kill(pid, signal);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  bool ErrHas(const std::string& text) const {
    return ReadAll(File("err.txt")).find(text) != std::string::npos;
  }

  test_common::TempFolder folder_;
  pid_t sim_ = -1;
  std::string environment_;  // "NAME=VALUE " put before the command
};

TEST_F(RidgemoSettings, ReadAndWriteThroughAPseudoTerminalToASeparateProcess) {
  EXPECT_EQ(Run("read-settings " + File("x.kdta")), 1);  // nobody behind the port yet
  EXPECT_TRUE(ErrHas("Fail to open Port."));

  const auto head = testing::PatternSettings(21, 0x0301);
  WriteAll(File("head.kdta"), settings::FormatSettingsText(head));
  ASSERT_TRUE(StartHeadSim(File("head.kdta")));
  ASSERT_EQ(Run("read-settings " + File("copy.kdta")), 0) << ReadAll(File("err.txt"));
  EXPECT_EQ(ReadAll(File("copy.kdta")), ReadAll(File("head.kdta")));

  // Banks 2 to 4 of another file onto banks 10 to 12, checked by --verify and read back.
  const auto file = testing::PatternSettings(22, 0x0301);
  WriteAll(File("in.kdta"), settings::FormatSettingsText(file));
  ASSERT_EQ(
      Run("write-settings " + File("in.kdta") + " --start 2 --end 4 --to 10 --no-common --verify"),
      0)
      << ReadAll(File("err.txt"));
  EXPECT_NE(ReadAll(File("out.txt")).find("Complete to write all setting values."),
            std::string::npos);
  auto expected = head;
  std::copy(file.begin() + 6 * 64, file.begin() + 15 * 64, expected.begin() + 30 * 64);
  ASSERT_EQ(Run("read-settings --yes " + File("copy.kdta")), 0);
  EXPECT_EQ(ReadAll(File("copy.kdta")), settings::FormatSettingsText(expected));

  // Refusals and failures exit with 1 and change nothing; usage errors exit with 2.
  EXPECT_EQ(Run("read-settings " + File("copy.kdta")), 1);
  EXPECT_TRUE(ErrHas("File already exists. Overwrite? no"));
  WriteAll(File("short.kdta"), settings::FormatSettingsText(file).substr(0, 82 * 300));
  EXPECT_EQ(Run("write-settings " + File("short.kdta")), 1);
  EXPECT_TRUE(ErrHas("line 301"));
  EXPECT_EQ(Run("--head 2 write-settings " + File("in.kdta")), 1);
  EXPECT_TRUE(ErrHas("Selected KYR head is not exist."));
  EXPECT_EQ(Run("write-settings " + File("in.kdta") + " --start 30 --end 31 --to 31"), 1);
  EXPECT_EQ(Run("write-settings " + File("in.kdta") + " --start 3 --end 1"), 1);
  EXPECT_TRUE(ErrHas("The start bank is after the end bank"));
  EXPECT_EQ(Run("write-settings " + File("in.kdta") + " --start 32"), 2);
  EXPECT_EQ(Run("read-settings a.kdta b.kdta"), 2);
  EXPECT_EQ(ReadAll(File("copy.kdta")), settings::FormatSettingsText(expected));
}

TEST_F(RidgemoSettings, TraceGoesToTheFileTheOptionOrElseTheVariableNames) {
  WriteAll(File("head.kdta"), settings::FormatSettingsText(testing::PatternSettings(21, 0x0301)));
  ASSERT_TRUE(StartHeadSim(File("head.kdta")));
  environment_ = "KYR_TRACE=" + File("variable.txt") + " ";
  ASSERT_EQ(Run("--trace " + File("option.txt") + " read-settings " + File("a.kdta")), 0);
  EXPECT_FALSE(fs::exists(File("variable.txt")));
  const std::string first_block = "->  10 00 00 00 80 00 6F";
  EXPECT_NE(ReadAll(File("option.txt")).find(first_block), std::string::npos);

  ASSERT_EQ(Run("read-settings " + File("b.kdta")), 0);
  EXPECT_NE(ReadAll(File("variable.txt")).find(first_block), std::string::npos);

  // A trace that cannot be written stops the command before it touches the head.
  EXPECT_EQ(Run("--trace " + File("none/t.txt") + " read-settings " + File("c.kdta")), 2);
  EXPECT_TRUE(ErrHas("cannot write the trace file"));
  EXPECT_FALSE(fs::exists(File("c.kdta")));

  // One that fills up on the way is reported once; the command's own result stands.
  ASSERT_EQ(Run("--trace /dev/full read-settings " + File("d.kdta")), 0);
  const std::string err = ReadAll(File("err.txt"));
  const std::string report = "the trace file \"/dev/full\" cannot be written";
  EXPECT_NE(err.find(report), std::string::npos) << err;
  EXPECT_EQ(err.find(report), err.rfind(report)) << err;
  EXPECT_TRUE(fs::exists(File("d.kdta")));
}

// Ctrl-C and SIGTERM over a slow line: a write says the head is partly written and a second
// run completes it; a read leaves no file behind.
TEST_F(RidgemoSettings, InterruptedTransfersEndInOrder) {
  const auto head = testing::PatternSettings(21, 0x0301);
  WriteAll(File("head.kdta"), settings::FormatSettingsText(head));
  ASSERT_TRUE(StartHeadSim(File("head.kdta"), {"--baud", "38400"}));
  const auto file = testing::PatternSettings(22, 0x0301);
  WriteAll(File("in.kdta"), settings::FormatSettingsText(file));
  const std::vector<std::string> files_before = folder_.Names();

  EXPECT_EQ(RunInterrupted("write-settings " + File("in.kdta"), SIGINT), 1);
  EXPECT_TRUE(ErrHas("Interrupted: the head is partly written.")) << ReadAll(File("err.txt"));
  EXPECT_EQ(RunInterrupted("read-settings " + File("copy.kdta"), SIGTERM), 1);
  EXPECT_TRUE(ErrHas("Interrupted: no file was written")) << ReadAll(File("err.txt"));
  std::vector<std::string> files_after = folder_.Names();
  std::erase(files_after, "err.txt");
  std::erase(files_after, "out.txt");
  EXPECT_EQ(files_after, files_before);

  ASSERT_EQ(Run("write-settings " + File("in.kdta")), 0) << ReadAll(File("err.txt"));
  ASSERT_EQ(Run("read-settings " + File("copy.kdta")), 0) << ReadAll(File("err.txt"));
  settings::SettingsImage read{};
  settings::ParseToolSettingsText(ReadAll(File("copy.kdta")), read);
  constexpr int kBankWords = 96 * 64;
  EXPECT_TRUE(std::equal(file.begin(), file.begin() + kBankWords, read.begin()));
}

}  // namespace
}  // namespace kyr::transfer
