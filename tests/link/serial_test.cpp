#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "common/temp_folder.h"
#include "link/link.h"
#include "link/posix/serial_port.h"
#include "link/pty.h"

namespace kyr::link {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::Pty;
using SteadyClock = std::chrono::steady_clock;
using enum LinkResult;

// Short time-outs keep the real waits of these tests small; the rule is the same.
constexpr SerialTimeouts kFast = {20, 100, 0, 30};

long ElapsedMs(SteadyClock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start).count());
}

TEST(SerialPort, RawBinaryBothWaysAt115200) {
  Pty pty;
  ASSERT_FALSE(pty.path.empty());
  auto port = OpenSerialPort(pty.path, kFast);
  ASSERT_TRUE(port);

  termios settings{};
  ASSERT_EQ(::tcgetattr(pty.keeper, &settings), 0);
  EXPECT_EQ(::cfgetospeed(&settings), static_cast<speed_t>(B115200));
  EXPECT_EQ(settings.c_cflag & (CSIZE | PARENB | CSTOPB), static_cast<tcflag_t>(CS8));

  // Line ends, flow-control characters and 0xFF pass untouched in both directions.
  const Bytes binary = {0x0D, 0x0A, 0x11, 0x13, 0x03, 0x00, 0xFF, 0x7F, 0x04};
  std::size_t n = 0;
  ASSERT_TRUE(port->Write(binary.data(), binary.size(), n));
  EXPECT_EQ(n, binary.size());
  EXPECT_EQ(pty.Receive(binary.size()), binary);

  pty.Send(binary);
  Bytes got(binary.size());
  ASSERT_TRUE(port->Read(got.data(), got.size(), n));
  EXPECT_EQ(n, binary.size());
  EXPECT_EQ(got, binary);
}

TEST(SerialPort, ShortReadWaitsItsTimeOutAndReturnsWhatCame) {
  Pty pty;
  auto port = OpenSerialPort(pty.path, kFast);
  ASSERT_TRUE(port);
  pty.Send({0x06, 0x01});
  Bytes got(5);
  std::size_t n = 99;
  const auto start = SteadyClock::now();
  ASSERT_TRUE(port->Read(got.data(), got.size(), n));
  const long elapsed = ElapsedMs(start);
  EXPECT_EQ(n, 2u);
  EXPECT_EQ(got[1], 0x01);
  // 20 ms a byte plus 100 ms for 5 bytes: 200 ms.
  EXPECT_GE(elapsed, 195);
  EXPECT_LT(elapsed, 600);

  // Bytes arriving in pieces within the time-out make one full read.
  pty.Send({1, 2});
  std::thread later([&pty] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    pty.Send({3, 4, 5});
  });
  ASSERT_TRUE(port->Read(got.data(), got.size(), n));
  later.join();
  EXPECT_EQ(n, 5u);
  EXPECT_EQ(got, (Bytes{1, 2, 3, 4, 5}));
}

TEST(SerialPort, WriteGivesUpWhenTheLineDoesNotTakeBytes) {
  Pty pty;
  auto port = OpenSerialPort(pty.path, kFast);
  ASSERT_TRUE(port);
  // Nobody reads the far end: the terminal's buffers fill and the write times out short.
  Bytes big(1 << 20, 0x5A);
  std::size_t n = 0;
  const auto start = SteadyClock::now();
  ASSERT_TRUE(port->Write(big.data(), big.size(), n));
  EXPECT_GT(n, 0u);
  EXPECT_LT(n, big.size());
  EXPECT_LT(ElapsedMs(start), 1000);
}

TEST(SerialPort, ExclusiveOpenAndRefusals) {
  Pty pty;
  {
    auto port = OpenSerialPort(pty.path, kFast);
    ASSERT_TRUE(port);
    EXPECT_FALSE(OpenSerialPort(pty.path, kFast));  // held: a second open is refused
    int exclusive = 0;
    ASSERT_EQ(::ioctl(pty.keeper, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);  // other programs are kept out too
  }
  int exclusive = 1;
  ASSERT_EQ(::ioctl(pty.keeper, TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0);  // the terminal outlives our descriptor: exclusivity must not
  // Released (also while the far end keeps the terminal open): it opens again.
  auto again = OpenSerialPort(pty.path, kFast);
  ASSERT_TRUE(again);

  EXPECT_FALSE(OpenSerialPort("/dev/kyr-no-such-port", kFast));
  const kyr::test_common::TempFolder folder;
  kyr::test_common::WriteAll(folder.File("plain"), "x");
  EXPECT_FALSE(OpenSerialPort(folder.File("plain"), kFast));  // a plain file is no port

  // Bytes sent before the open belong to no question of ours.
  again.reset();
  pty.Send({0xEE, 0xEE});
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  auto fresh = OpenSerialPort(pty.path, kFast);
  ASSERT_TRUE(fresh);
  std::uint8_t byte = 0;
  std::size_t n = 9;
  EXPECT_TRUE(fresh->Read(&byte, 1, n));
  EXPECT_EQ(n, 0u);
  // A far end that hangs up and a closed port: byte_channel_test.cpp, for every channel.
}

TEST(SerialPort, DrainEndsWhenTheLineIsQuiet) {
  Pty pty;
  auto port = OpenSerialPort(pty.path, kFast);
  ASSERT_TRUE(port);
  std::thread talker([&pty] {
    for (int i = 0; i < 5; ++i) {
      pty.Send({0x06, 0x02, 0x01});
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
  const auto start = SteadyClock::now();
  const std::size_t discarded = port->Drain(40, 2000);
  talker.join();
  EXPECT_EQ(discarded, 15u);
  EXPECT_LT(ElapsedMs(start), 500);

  // A line that never goes quiet is left after the limit.
  std::atomic<bool> stop{false};
  std::thread babbler([&] {
    while (!stop) {
      pty.Send({0x55});
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  const auto babble = SteadyClock::now();
  port->Drain(40, 150);
  const long took = ElapsedMs(babble);
  stop = true;
  babbler.join();
  EXPECT_GE(took, 140);
  EXPECT_LT(took, 600);
}

TEST(SerialPort, LinkOverAPseudoTerminal) {
  Pty pty;
  PosixSerialPorts ports(kFast);
  LinkEnvironment environment;
  environment.serial_ports = &ports;
  Link link(environment);
  ASSERT_EQ(link.OpenLink(pty.path, true), kOk);  // a path longer than nine characters
  EXPECT_EQ(link.Mode(), LinkMode::Serial);
  EXPECT_TRUE(pty.Receive(1, 50).empty());  // no handshake over serial

  pty.Send({0x06, 0x05, 1, 0, 2, 0, 3, 0, 1, 0, 0, 0});
  pty.Send({static_cast<std::uint8_t>(0xFF - ((0x06 + 0x05 + 1 + 2 + 3 + 1) & 0xFF))});
  EXPECT_EQ(link.QueryHead(0), 1);
  EXPECT_EQ(link.QueryHead(1), -1);  // nobody answers the second time: time-out
  EXPECT_EQ(pty.Receive(14), (Bytes{0xFB, 0, 0, 0, 0, 0, 0x04, 0xFB, 0, 0, 0, 0, 0, 0x04}));
  EXPECT_EQ(link.CloseLink(true), kOk);
  EXPECT_TRUE(pty.Receive(1, 50).empty());  // no closing frame over serial
}

// A failed open or read leaves a note of the device path and the system's reason; the next
// open starts without one.
TEST(SerialPort, FailureNoteNamesThePortAndTheReason) {
  Pty pty;
  const kyr::test_common::TempFolder folder;
  const std::filesystem::path file = folder.File("plain");
  kyr::test_common::WriteAll(file.string(), "x");
  auto held = OpenSerialPort(pty.path, kFast);
  ASSERT_TRUE(held);
  PosixSerialPorts ports(kFast);
  LinkEnvironment environment;
  environment.serial_ports = &ports;
  struct Case {
    std::string port;
    std::string note;
  };
  const Case cases[] = {
      {"/dev/kyr-no-such-port", "/dev/kyr-no-such-port: No such file or directory"},
      {file.string(), file.string() + ": not a serial port"},
      {pty.path, pty.path + ": in use by another program"},
  };
  Link link(environment);
  for (const Case& c : cases) {
    EXPECT_EQ(link.OpenLink(c.port, true), kOpenFailed) << c.port;
    EXPECT_EQ(link.LastFailure().Line(), c.note);
    link.CloseLink(false);
  }
  held.reset();
  ASSERT_EQ(link.OpenLink(pty.path, true), kOk);
  EXPECT_TRUE(link.LastFailure().Empty());
  EXPECT_EQ(link.QueryHead(0), -1);  // nobody answers
  EXPECT_EQ(link.LastFailure().Line(), pty.path + ": the line gave no data in time");
  link.CloseLink(false);
}

}  // namespace
}  // namespace kyr::link
