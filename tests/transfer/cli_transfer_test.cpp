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
  bool StartHeadSim(const std::string& settings) {
    std::vector<std::string> args = {kBinaries + "/app/kyr-headsim/kyr-headsim", "--link",
                                     File("head"), "--settings", settings};
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
  int Run(const std::string& args) const {
    const std::string command = environment_ + kBinaries +
                                "/app/ridgemo/ridgemo --lang en --port " + File("head") + " " +
                                args + " </dev/null >" + File("out.txt") + " 2>" + File("err.txt");
    const int status = std::system(command.c_str());
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

}  // namespace
}  // namespace kyr::transfer
