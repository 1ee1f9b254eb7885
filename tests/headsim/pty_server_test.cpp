// kyr-headsim as a separate process: started here, spoken to over its pseudo-terminal with
// plain termios code, stopped with a signal.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "headsim/head_exchange.h"

namespace kyr::headsim {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::Command;
using testing::ParseReplies;
using Clock = std::chrono::steady_clock;

const std::string kProgram = std::string(KYR_BINARY_DIR) + "/app/kyr-headsim/kyr-headsim";

class SimulatorProcess {
 public:
  SimulatorProcess(const fs::path& link, std::vector<std::string> args) : link_(link) {
    args.insert(args.begin(), {kProgram, "--link", link.string()});
    pid_ = fork();
    if (pid_ == 0) {
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      const int devnull = open("/dev/null", O_WRONLY);
      dup2(devnull, STDOUT_FILENO);
      execv(kProgram.c_str(), argv.data());
      _exit(127);
    }
  }
  ~SimulatorProcess() {
    if (pid_ > 0) Stop();
  }
  bool WaitForLink() const {
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline) {
      if (fs::is_symlink(link_)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  // Sends SIGTERM and returns the exit status (-1 when it did not exit normally).
  int Stop() {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  fs::path link_;
  pid_t pid_ = -1;
};

// The tool's side of the line: a raw 115200 8N1 terminal.
class Line {
 public:
  explicit Line(const fs::path& path) {
    fd_ = open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd_ < 0) return;
    ioctl(fd_, TIOCEXCL);  // the tool opens its port exclusively
    termios tio{};
    tcgetattr(fd_, &tio);
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    tcsetattr(fd_, TCSANOW, &tio);
  }
  ~Line() {
    if (fd_ >= 0) close(fd_);
  }
  bool ok() const { return fd_ >= 0; }
  void Write(const Bytes& bytes) {
    ASSERT_EQ(write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // Reads until `count` bytes arrived or `timeout_ms` passed; with `arrivals`, notes when
  // the byte count reached each size.
  Bytes Read(std::size_t count, int timeout_ms = 2000,
             std::vector<std::pair<std::size_t, Clock::time_point>>* arrivals = nullptr) {
    Bytes out;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (out.size() < count && Clock::now() < deadline) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 10) <= 0) continue;
      std::uint8_t buffer[4096];
      const ssize_t n = read(fd_, buffer, std::min(sizeof buffer, count - out.size()));
      if (n > 0) out.insert(out.end(), buffer, buffer + n);
      if (n > 0 && arrivals != nullptr) arrivals->emplace_back(out.size(), Clock::now());
    }
    return out;
  }

 private:
  int fd_ = -1;
};

class PtyServer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kProgram)) GTEST_SKIP() << "kyr-headsim not built";
    dir_ = fs::temp_directory_path() / ("headsim_pty_" + std::to_string(getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  fs::path dir_;
};

TEST_F(PtyServer, AnswersQueryAndReadMemoryAcrossSessions) {
  const fs::path link = dir_ / "head";
  SimulatorProcess sim(link, {"--heads", "2", "--model", "1", "--settings-version", "2"});
  ASSERT_TRUE(sim.WaitForLink());
  for (int session = 0; session < 2; ++session) {
    Line line(link);
    ASSERT_TRUE(line.ok());
    line.Write({0x55, 0x8C});
    EXPECT_EQ(line.Read(2), (Bytes{0x8C, 0x73}));
    line.Write(Command({0xFB, 0, 0, 0, 0, 0}));
    const auto query = ParseReplies(line.Read(13));
    ASSERT_EQ(query.size(), 1u);
    EXPECT_TRUE(query[0].well_formed);
    EXPECT_NE(query[0].words[3] & 0xFF, 0);
    EXPECT_NE(query[0].words[3] >> 8, 0);
    EXPECT_EQ(query[0].words[4] & 0xFF, 0);

    line.Write(Command({0x11, 0x80, 0x3F, 0x00, 1, 0}));
    const auto version = ParseReplies(line.Read(5));
    ASSERT_EQ(version.size(), 1u);
    EXPECT_EQ(version[0].words[0], 0x0201);

    line.Write(Command({0x10, 0x00, 63, 0x00, 0x80, 0x00}));  // the last block
    const auto block = ParseReplies(line.Read(259));
    ASSERT_EQ(block.size(), 1u);
    EXPECT_TRUE(block[0].well_formed);
    EXPECT_EQ(block[0].words[64], 0x0201);  // word 8128 = 63 * 128 + 64
    line.Write({0xFE, 0x8C, 0x73, 0x00, 0x00, 0x00, 0x02});
  }
  // A tool that leaves without reading its answer leaves nothing for the next one.
  {
    Line quitter(link);
    quitter.Write(Command({0x10, 0x00, 0x00, 0x00, 0x80, 0x00}));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  Line next(link);
  ASSERT_TRUE(next.ok());
  next.Write({0x55, 0x8C});
  EXPECT_EQ(next.Read(10, 300), (Bytes{0x8C, 0x73}));

  EXPECT_EQ(sim.Stop(), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

TEST_F(PtyServer, ServesASettingsFileAndPacesItsOutput) {
  const fs::path file = dir_ / "head.kdta";
  {
    std::ofstream out(file, std::ios::binary);
    for (int line = 0; line < 512; ++line) {
      for (int j = 0; j < 16; ++j) {
        char field[8];
        std::snprintf(field, sizeof field, "%04X ", (line * 16 + j) & 0xFFFF);
        out << field;
      }
      out << "\r\n";
    }
  }
  const fs::path link = dir_ / "slow";
  SimulatorProcess sim(link, {"--settings", file.string(), "--baud", "9600"});
  ASSERT_TRUE(sim.WaitForLink());
  Line line(link);
  ASSERT_TRUE(line.ok());
  const auto start = Clock::now();
  line.Write(Command({0x10, 0x00, 0x05, 0x00, 0x80, 0x00}));
  std::vector<std::pair<std::size_t, Clock::time_point>> arrivals;
  const auto replies = ParseReplies(line.Read(259, 5000, &arrivals));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_TRUE(replies[0].well_formed);
  EXPECT_EQ(replies[0].words[0], 5 * 128);
  EXPECT_EQ(replies[0].words[127], 5 * 128 + 127);
  // Both directions at the line's pace, 10 bits a byte at 9600 baud: the 7 command bytes
  // reach the head and the first n reply bytes come back no sooner than 7 + n byte times
  // after the write; all 266 take 277 ms, and the head adds little to that.
  const auto byte_time = std::chrono::microseconds(10 * 1000000 / 9600);
  for (const auto& [received, when] : arrivals) {
    EXPECT_GE(when - start, static_cast<long>(7 + received) * byte_time) << received << " bytes";
  }
  EXPECT_LT(arrivals.back().first == 259 ? arrivals.back().second - start : Clock::duration::max(),
            266 * byte_time + std::chrono::milliseconds(200));
  EXPECT_EQ(sim.Stop(), 0);
}

TEST_F(PtyServer, RefusesBadArguments) {
  auto status_of = [](std::vector<std::string> args) {
    args.insert(args.begin(), kProgram);
    const pid_t pid = fork();
    if (pid == 0) {
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      const int devnull = open("/dev/null", O_WRONLY);
      dup2(devnull, STDOUT_FILENO);
      dup2(devnull, STDERR_FILENO);
      execv(kProgram.c_str(), argv.data());
      _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(status_of({}), 2);
  EXPECT_EQ(status_of({"--link", (dir_ / "x").string(), "--heads", "4"}), 2);
  EXPECT_EQ(status_of({"--link", (dir_ / "x").string(), "--baud", "fast"}), 2);
  EXPECT_EQ(status_of({"--help"}), 0);
  EXPECT_EQ(status_of({"--version"}), 0);
  // A settings file that is not there, and a link path that is a real file.
  EXPECT_EQ(status_of({"--link", (dir_ / "x").string(), "--settings", (dir_ / "none").string()}),
            1);
  std::ofstream(dir_ / "plain") << "keep me";
  EXPECT_EQ(status_of({"--link", (dir_ / "plain").string()}), 1);
  EXPECT_TRUE(fs::is_regular_file(dir_ / "plain"));
}

}  // namespace
}  // namespace kyr::headsim
