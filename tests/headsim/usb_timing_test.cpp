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
  EXPECT_EQ(model.HeadReceives(1000 + 86, out, sizeof out), 0u);
  EXPECT_EQ(model.HeadReceives(1000 + 87, out, sizeof out), 1u);
  EXPECT_EQ(model.HeadReceives(1000 + 7 * 87 - 1, out, sizeof out), 5u);
  EXPECT_EQ(model.HeadReceives(1000 + 7 * 87, out, sizeof out), 1u);
  EXPECT_FALSE(model.NextEventMicros().has_value());
}

}  // namespace
}  // namespace kyr::headsim
