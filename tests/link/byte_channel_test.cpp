// What every byte channel promises, checked once against each of them: the serial port on a
// real pseudo-terminal, the simulated head's USB device (bytes at once and paced like the
// real bus), the same behind the tracing decorator, and the test fake.
//
// Each implementation comes with a far end that can answer, speak unasked, babble, stay
// silent or go away. Times are measured on the channel's own clock; where that is the wall
// clock only generous upper bounds are checked.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <sstream>
#include <thread>

#include "common/fault_rule.h"
#include "headsim/usb_head.h"
#include "link/link_fakes.h"
#include "link/posix/serial_port.h"
#include "link/pty.h"
#include "link/trace.h"

namespace kyr::link {
namespace {

using testing::Bytes;

// A head query and the answer of a unit with one head, as the simulated head sends it.
const Bytes kQuery = {0xFB, 0, 0, 0, 0, 0, 0x04};
const Bytes kQueryAnswer = {0x06, 0x05, 0, 0, 0, 0, 0, 0, 0x01, 0, 0, 0, 0xF3};
// Bytes a channel must pass untouched: line ends, flow-control characters, 0x00 and 0xFF.
const Bytes kBinary = {0x8C, 0x73, 0x0D, 0x0A, 0x11, 0x13, 0x03, 0x00, 0xFF, 0x7F, 0x04};

std::int64_t WallMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The serial port on a pseudo-terminal whose other end plays the head.
class PtySerial {
 public:
  static constexpr bool kSimulatedTime = false;
  PtySerial() : channel_(OpenSerialPort(pty_.path, {2, 100, 1, 100})) {}
  ~PtySerial() { StopBabbling(); }

  ByteChannel* Channel() { return channel_.get(); }
  Bytes Answer(const Bytes& question) {
    if (pty_.Receive(question.size()) != question) return {};
    pty_.Send(kQueryAnswer);
    return kQueryAnswer;
  }
  Bytes Speak() {
    pty_.Send(kBinary);
    return kBinary;
  }
  // Talks for some five seconds: a drain that ignores its limit fails rather than hangs.
  bool Babble() {
    babbler_ = std::thread([this] {
      for (int i = 0; i < 2500 && !stop_; ++i) {
        pty_.Send({0x55});
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    });
    return true;
  }
  // Hangs up once the question came, while the channel waits for the answer.
  void GoAwayWhenAsked(const Bytes& question) {
    babbler_ = std::thread([this, question] {
      if (pty_.Receive(question.size(), 2000) == question) pty_.HangUp();
    });
  }
  std::optional<std::int64_t> NowMs() { return WallMs(); }

 private:
  void StopBabbling() {
    stop_ = true;
    if (babbler_.joinable()) babbler_.join();
  }
  testing::Pty pty_;
  std::unique_ptr<ByteChannel> channel_;
  std::atomic<bool> stop_{false};
  std::thread babbler_;
};

// The simulated head's USB device on simulated time; `kPaced`: bytes take the time the
// head's 115200 baud line and the USB bus give them, otherwise they pass at once.
template <bool kPaced>
class SimulatedUsb {
 public:
  static constexpr bool kSimulatedTime = true;
  SimulatedUsb() : unit_(Options(), time_), channel_(unit_.Bus().Open(0)) {}

  ByteChannel* Channel() { return channel_.get(); }
  Bytes Answer(const Bytes&) { return kQueryAnswer; }  // the head answers by itself
  Bytes Speak() {
    unit_.engine().Feed(kQuery.data(), kQuery.size());
    return kQueryAnswer;
  }
  // A settings read of 256 blocks of 255 words: over eleven seconds of talk at 115200 baud.
  bool Babble() {
    if (!kPaced) return false;
    Bytes read = {0x10, 0, 0, 0, 0xFF, 0xFF};
    read.push_back(headsim::ChecksumOf(read.data(), read.size()));
    unit_.engine().Feed(read.data(), read.size());
    return true;
  }
  void GoAwayWhenAsked(const Bytes& question) {
    unit_.engine().Faults().Add(
        test_common::Fault(headsim::FaultKind::kDroppedLink, question[0], headsim::kAny));
  }
  std::optional<std::int64_t> NowMs() { return time_.NowMicros() / 1000; }

 protected:
  std::unique_ptr<ByteChannel> TakeChannel() { return std::move(channel_); }

 private:
  static headsim::UsbHeadOptions Options() {
    headsim::UsbHeadOptions options;
    if (kPaced) options.timing = headsim::UsbTiming{2, 115200};
    return options;
  }
  headsim::SimulatedTime time_{headsim::SimulatedTime::Mode::kManual};
  headsim::SimulatedUsbHead unit_;
  std::unique_ptr<ByteChannel> channel_;
};

// The simulated head's channel seen through the tracing decorator.
template <class Inner>
class Traced : public Inner {
 public:
  Traced() : traced_(std::make_unique<TracingChannel>(Inner::TakeChannel(), log_)) {}
  ByteChannel* Channel() { return traced_.get(); }

 private:
  std::ostringstream trace_;
  TraceLog log_{trace_};
  std::unique_ptr<ByteChannel> traced_;
};

// The scripted fake: no clock, bytes are there or not.
class Fake {
 public:
  static constexpr bool kSimulatedTime = false;
  ByteChannel* Channel() { return &channel_; }
  Bytes Answer(const Bytes& question) {
    if (script_->Written() != question) return {};
    script_->Queue(kQueryAnswer);
    return kQueryAnswer;
  }
  Bytes Speak() {
    script_->Queue(kBinary);
    return kBinary;
  }
  bool Babble() { return false; }
  void GoAwayWhenAsked(const Bytes&) {
    script_->fail_write = true;  // the fake fails writes at once, reads from the next one on
    script_->good_reads = script_->read_requests.size();
  }
  std::optional<std::int64_t> NowMs() { return std::nullopt; }

 private:
  std::shared_ptr<testing::ChannelScript> script_ = std::make_shared<testing::ChannelScript>();
  testing::FakeChannel channel_{script_};
};

template <class FarEnd>
class ByteChannelContract : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(far.Channel(), nullptr) << "the channel did not open"; }
  ByteChannel& channel() { return *far.Channel(); }

  // Reads up to `count` bytes into a buffer with guard bytes behind it, which must stay.
  Bytes ReadUpTo(std::size_t count) {
    Bytes buffer(count + 4, 0xA5);
    std::size_t got = 999;
    EXPECT_TRUE(channel().Read(buffer.data(), count, got));
    EXPECT_LE(got, count);
    EXPECT_EQ(Bytes(buffer.begin() + count, buffer.end()), Bytes(4, 0xA5)) << "read past count";
    buffer.resize(std::min(got, count));
    return buffer;
  }
  bool Clocked() { return far.NowMs().has_value(); }
  std::int64_t Elapsed(std::int64_t since) { return *far.NowMs() - since; }

  FarEnd far;
};

using SimulatedUsbAtOnce = SimulatedUsb<false>;
using SimulatedUsbPaced = SimulatedUsb<true>;
using TracedSimulatedUsb = Traced<SimulatedUsbPaced>;
using Implementations =
    ::testing::Types<PtySerial, SimulatedUsbAtOnce, SimulatedUsbPaced, TracedSimulatedUsb, Fake>;

class Names {
 public:
  template <class T>
  static std::string GetName(int) {
    if (std::is_same_v<T, PtySerial>) return "PtySerial";
    if (std::is_same_v<T, SimulatedUsbAtOnce>) return "SimulatedUsbAtOnce";
    if (std::is_same_v<T, SimulatedUsbPaced>) return "SimulatedUsbPaced";
    if (std::is_same_v<T, TracedSimulatedUsb>) return "TracedSimulatedUsb";
    return "Fake";
  }
};
TYPED_TEST_SUITE(ByteChannelContract, Implementations, Names);

TYPED_TEST(ByteChannelContract, WriteCountsTheBytesAndTheAnswerComesBackWhole) {
  std::size_t written = 0;
  ASSERT_TRUE(this->channel().Write(kQuery.data(), kQuery.size(), written));
  EXPECT_EQ(written, kQuery.size());
  const Bytes answer = this->far.Answer(kQuery);
  ASSERT_FALSE(answer.empty()) << "the far end did not get the bytes written";
  // Asking for more than comes is a time-out with a short count, not a failure.
  EXPECT_EQ(this->ReadUpTo(answer.size() + 8), answer);
}

TYPED_TEST(ByteChannelContract, SilentFarEndGivesShortReadsNotFailures) {
  EXPECT_EQ(this->ReadUpTo(4), Bytes{});
  EXPECT_EQ(this->ReadUpTo(0), Bytes{});
}

TYPED_TEST(ByteChannelContract, BytesArriveInOrderAndPiecesReassemble) {
  Bytes spoken = this->far.Speak();
  const Bytes second = this->far.Speak();
  spoken.insert(spoken.end(), second.begin(), second.end());
  Bytes got;
  for (const std::size_t piece : {std::size_t{1}, std::size_t{2}, spoken.size()}) {
    const Bytes part = this->ReadUpTo(std::min(piece, spoken.size() - got.size()));
    got.insert(got.end(), part.begin(), part.end());
  }
  EXPECT_EQ(got, spoken);
}

TYPED_TEST(ByteChannelContract, DrainDiscardsWhatIsPending) {
  const std::size_t spoken = this->far.Speak().size();
  EXPECT_EQ(this->channel().Drain(30, 5000), spoken);
  EXPECT_EQ(this->ReadUpTo(4), Bytes{});
  EXPECT_EQ(this->channel().Drain(30, 5000), 0u);  // a quiet line
}

TYPED_TEST(ByteChannelContract, DrainStopsWhenQuietAndKeepsItsLimitOnABabblingLine) {
  if (!this->Clocked()) GTEST_SKIP() << "no clock: the fake's bytes are there at once or never";
  this->far.Speak();
  std::int64_t start = *this->far.NowMs();
  EXPECT_GT(this->channel().Drain(30, 5000), 0u);
  EXPECT_LT(this->Elapsed(start), 2500);  // far below the limit: it ended on the quiet

  if (!this->far.Babble()) GTEST_SKIP() << "bytes pass at once: the line cannot keep talking";
  start = *this->far.NowMs();
  EXPECT_GT(this->channel().Drain(40, 300), 0u);
  const std::int64_t took = this->Elapsed(start);
  if (TypeParam::kSimulatedTime) {
    EXPECT_GE(took, 300);
    EXPECT_LE(took, 302);
  } else {
    EXPECT_LT(took, 2300);
  }
}

TYPED_TEST(ByteChannelContract, ClosedChannelRefusesReadsAndWritesAndClosesTwice) {
  this->far.Speak();
  this->channel().Close();
  std::uint8_t byte = 0;
  std::size_t n = 0;
  EXPECT_FALSE(this->channel().Read(&byte, 1, n));
  EXPECT_FALSE(this->channel().Write(&byte, 1, n));
  this->channel().Close();
  EXPECT_FALSE(this->channel().Read(&byte, 1, n));
}

TYPED_TEST(ByteChannelContract, FarEndGoingAwayIsAFailureNotATimeOut) {
  this->far.GoAwayWhenAsked(kQuery);
  std::size_t n = 0;
  this->channel().Write(kQuery.data(), kQuery.size(), n);
  Bytes buffer(200);
  const std::optional<std::int64_t> start = this->far.NowMs();
  EXPECT_FALSE(this->channel().Read(buffer.data(), buffer.size(), n));  // while it waits
  EXPECT_FALSE(this->channel().Read(buffer.data(), 1, n));
  EXPECT_FALSE(this->channel().Write(buffer.data(), 1, n));
  this->channel().Drain(30, 5000);
  if (start) {
    EXPECT_LT(this->Elapsed(*start), 2500);  // nothing waited out its limit
  }
}

}  // namespace
}  // namespace kyr::link
