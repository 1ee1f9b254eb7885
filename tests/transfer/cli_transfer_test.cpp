// ridgemo read-settings and write-settings run as a user runs them, against kyr-headsim
// serving a simulated head unit on a pseudo-terminal in a process of its own.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "settings/settings_file.h"
#include "transfer_rig.h"

extern char** environ;

namespace kyr::transfer {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;
using testing::WriteAll;

const std::string kBinaries = KYR_BINARY_DIR;

// kyr-headsim on a pseudo-terminal linked at `link`, stopped with the object.
class HeadSimProcess {
 public:
  HeadSimProcess(const std::string& link, const std::string& settings_file) {
    std::vector<std::string> args = {kBinaries + "/app/kyr-headsim/kyr-headsim", "--link", link,
                                     "--settings", settings_file};
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
    // The link appears once the server listens.
    for (int i = 0; i < 500 && pid_ > 0 && !fs::exists(link); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  ~HeadSimProcess() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  HeadSimProcess(const HeadSimProcess&) = delete;
  HeadSimProcess& operator=(const HeadSimProcess&) = delete;

  bool running() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
};

class RidgemoSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "kyr-cli-xfer-XXXXXX").string();
    folder_ = ::mkdtemp(pattern.data());
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string File(const std::string& name) const { return (folder_ / name).string(); }

  // Exit status of ridgemo with `args` on the simulated head's port; no terminal, so
  // questions are answered No.
  int Run(const std::string& args) const {
    const std::string command = kBinaries + "/app/ridgemo/ridgemo --lang en --port " +
                                File("head") + " " + args + " </dev/null >" + File("out.txt") +
                                " 2>" + File("err.txt");
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Out() const { return ReadAll(File("out.txt")); }
  std::string Err() const { return ReadAll(File("err.txt")); }

  fs::path folder_;
};

TEST_F(RidgemoSettings, ReadAndWriteThroughAPseudoTerminalToASeparateProcess) {
  const auto head = testing::PatternImage(21, 0x0301);
  WriteAll(File("head.kdta"), settings::FormatSettingsText(head));
  HeadSimProcess sim(File("head"), File("head.kdta"));
  ASSERT_TRUE(sim.running());
  ASSERT_TRUE(fs::exists(File("head")));

  ASSERT_EQ(Run("read-settings " + File("copy.kdta")), 0) << Err();
  EXPECT_EQ(ReadAll(File("copy.kdta")), ReadAll(File("head.kdta")));
  EXPECT_NE(Out().find("Complete to read all setting values."), std::string::npos);

  // Banks 2 to 4 of another file onto banks 10 to 12, read back by --verify and again.
  const auto file = testing::PatternImage(22, 0x0301);
  WriteAll(File("in.kdta"), settings::FormatSettingsText(file));
  ASSERT_EQ(
      Run("write-settings " + File("in.kdta") + " --start 2 --end 4 --to 10 --no-common --verify"),
      0)
      << Err();
  EXPECT_NE(Out().find("Complete to write all setting values."), std::string::npos);
  auto expected = head;
  std::copy(file.begin() + 6 * 64, file.begin() + 15 * 64, expected.begin() + 30 * 64);
  ASSERT_EQ(Run("read-settings --yes " + File("copy.kdta")), 0) << Err();
  EXPECT_EQ(ReadAll(File("copy.kdta")), settings::FormatSettingsText(expected));

  // Refusals and failures: exit status 1, the message on stderr, nothing changed.
  EXPECT_EQ(Run("read-settings " + File("copy.kdta")), 1);
  EXPECT_NE(Err().find("File already exists. Overwrite? no"), std::string::npos);
  WriteAll(File("short.kdta"), settings::FormatSettingsText(file).substr(0, 82 * 300));
  EXPECT_EQ(Run("write-settings " + File("short.kdta")), 1);
  EXPECT_NE(Err().find("line 301"), std::string::npos);
  EXPECT_EQ(Run("--head 2 write-settings " + File("in.kdta")), 1);
  EXPECT_NE(Err().find("Selected KYR head is not exist."), std::string::npos);
  EXPECT_EQ(Run("write-settings " + File("in.kdta") + " --start 30 --end 31 --to 31"), 1);
  EXPECT_EQ(Run("--head 3 read-settings " + File("absent.kdta")), 1);
  EXPECT_FALSE(fs::exists(File("absent.kdta")));
  ASSERT_EQ(Run("read-settings --yes " + File("copy.kdta")), 0) << Err();
  EXPECT_EQ(ReadAll(File("copy.kdta")), settings::FormatSettingsText(expected));

  // Usage errors exit with 2.
  EXPECT_EQ(Run("write-settings " + File("in.kdta") + " --start 32"), 2);
  EXPECT_EQ(Run("write-settings"), 2);
  EXPECT_EQ(Run("read-settings a.kdta b.kdta"), 2);
}

TEST_F(RidgemoSettings, APortThatCannotBeOpenedIsReported) {
  EXPECT_EQ(Run("read-settings " + File("x.kdta")), 1);  // no simulator behind the port
  EXPECT_NE(Err().find("Fail to open Port."), std::string::npos);
  EXPECT_FALSE(fs::exists(File("x.kdta")));
}

}  // namespace
}  // namespace kyr::transfer
