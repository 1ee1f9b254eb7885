// The time bytes take through the head's serial line and the FTDI chip on a USB bus.
#include "headsim/usb_timing.h"

#include <gtest/gtest.h>

#include <vector>

namespace kyr::headsim {
namespace {

constexpr std::int64_t kStep = 10;  // micros between looks

struct Case {
  const char* name;
  UsbTiming timing;
  std::size_t bytes;
  std::int64_t sent_at;
  std::vector<std::pair<std::size_t, std::int64_t>> expected;  // bytes delivered, when
};

// Sends `bytes` from the head at `sent_at` and records each delivery to the tool.
std::vector<std::pair<std::size_t, std::int64_t>> Deliveries(const Case& c) {
  UsbTimingModel model(c.timing);
  std::vector<std::uint8_t> data(c.bytes, 0x5A);
  std::vector<std::uint8_t> out(4096);
  std::vector<std::pair<std::size_t, std::int64_t>> seen;
  std::size_t total = 0;
  for (std::int64_t now = 0; now <= 40000 && total < c.bytes; now += kStep) {
    if (now == c.sent_at) model.HeadSends(data.data(), data.size(), now);
    const std::size_t n = model.HostReceives(now, out.data(), out.size());
    if (n > 0) seen.emplace_back(n, now);
    total += n;
  }
  return seen;
}

TEST(UsbTimingModel, PacketsGoAtFramesFullAtOncePartialWhenTheLatencyTimerRunsOut) {
  const Case cases[] = {
      {"short reply, 2 ms timer", {2, 0}, 10, 0, {{10, 2000}}},
      {"short reply, 16 ms timer", {16, 0}, 10, 0, {{10, 16000}}},
      {"one full packet", {16, 0}, 62, 0, {{62, 1000}}},
      {"a packet and a rest", {16, 0}, 70, 0, {{62, 1000}, {8, 17000}}},
      {"timer already run out", {2, 0}, 3, 5500, {{3, 6000}}},
      // At 115200 baud a byte takes 87 us; the tenth is in the chip at 870 us.
      {"slow line, short reply", {2, 115200}, 10, 0, {{10, 2000}}},
      // 62 bytes are in the chip at 5394 us: the next frame carries them.
      {"slow line, full packet", {16, 115200}, 62, 0, {{62, 6000}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Deliveries(c), c.expected);
  }
}

TEST(UsbTimingModel, WritesReachTheHeadAtTheNextFrameThenOneByteTimeEach) {
  UsbTimingModel model(UsbTiming{2, 115200});
  const std::uint8_t frame[7] = {1, 2, 3, 4, 5, 6, 7};
  model.HostWrites(frame, sizeof frame, 300);
  std::uint8_t out[16];
  EXPECT_EQ(model.HeadReceives(999, out, sizeof out), 0u);
  EXPECT_EQ(model.NextEventMicros(), 1000);
  // A byte takes 86.8 us: the first is in at 87 us, the seventh at 607.6, so at 608 us.
  EXPECT_EQ(model.HeadReceives(1000 + 86, out, sizeof out), 0u);
  EXPECT_EQ(model.HeadReceives(1000 + 87, out, sizeof out), 1u);
  EXPECT_EQ(model.HeadReceives(1000 + 607, out, sizeof out), 5u);
  EXPECT_EQ(model.HeadReceives(1000 + 608, out, sizeof out), 1u);
  EXPECT_FALSE(model.NextEventMicros().has_value());
}

// A long run takes its exact time however it is handed to the line: byte times rounded to
// whole micros must not add up (1152 bytes at 115200 baud are 100 ms, not 100.2).
TEST(LinePacer, ALongRunTakesItsExactTimeAndAPauseStartsAFreshOne) {
  LinePacer line(115200);
  const std::vector<std::uint8_t> bytes(1152, 0x5A);
  line.Put(bytes.data(), 500, 0);
  line.Put(bytes.data() + 500, 652, 20000);  // joins the run still on the line
  EXPECT_EQ(line.ArrivalOf(1152), 100000);
  EXPECT_EQ(line.ArrivalOf(5000), 100000);  // past the end: the last byte
  std::vector<std::uint8_t> out(2000);
  EXPECT_EQ(line.Take(99999, out.data(), out.size()), 1151u);
  EXPECT_EQ(line.Take(100000, out.data(), out.size()), 1u);
  EXPECT_EQ(line.LastTakenArrival(), 100000);
  line.Put(bytes.data(), 1, 250000);  // after a pause
  EXPECT_EQ(line.NextArrival(), 250087);
}

}  // namespace
}  // namespace kyr::headsim
