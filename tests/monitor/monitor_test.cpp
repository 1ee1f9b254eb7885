// The monitor's frames, pacing decisions, restarts and clicks, against the simulated head
// unit reached over the link on simulated time.
#include "monitor/monitor.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "common/head_rig.h"
#include "common/tool_host.h"
#include "strings/strings.h"

namespace kyr::monitor {
namespace {

using headsim::FaultKind;

class RecordingHost : public test_common::RecordingToolHost {
 public:
  std::function<void()> on_events;  // what the user does while a part is fetched
  void ProcessPendingEvents(int) override {
    if (on_events) on_events();
  }
};

class RecordingWindow : public MonitorWindow {
 public:
  std::string port = "USB";
  bool running_shown = false;
  bool timer_armed = false;
  int timer_starts = 0;
  int paints = 0;
  std::string PortText() override { return port; }
  void ShowMonitorRunning(bool running) override { running_shown = running; }
  void StartFrameTimer(int milliseconds) override {
    EXPECT_EQ(milliseconds, kFrameIntervalMs);
    timer_armed = true;
    ++timer_starts;
  }
  void KillFrameTimer() override { timer_armed = false; }
  void PaintCanvas() override { ++paints; }
};

struct Rig : test_common::HeadRig {
  Rig() : HeadRig({.replug_after_ms = 250}) {}
  MonitorContext Context() { return {host, window, link, *state, *canvas}; }
  // Ticks as the window's timer would, while it stays armed.
  void Tick(int times = 1) {
    for (int i = 0; i < times; ++i) {
      ASSERT_TRUE(window.timer_armed) << "tick " << i;
      time.Advance(kFrameIntervalMs * 1000);
      MonitorContext ctx = Context();
      MonitorTick(ctx);
    }
  }
  RecordingHost host;
  RecordingWindow window;
  std::unique_ptr<MonitorState> state = std::make_unique<MonitorState>();
  std::unique_ptr<images::Canvas> canvas = std::make_unique<images::Canvas>();
};

void SetPart(std::vector<std::uint8_t>& pixels, int line, int x, std::uint16_t value) {
  const std::size_t at = 2 * static_cast<std::size_t>(line * kSourceLineWidth + x);
  pixels[at] = static_cast<std::uint8_t>(value >> 8);
  pixels[at + 1] = static_cast<std::uint8_t>(value & 0xFF);
}

void Unpack(const std::vector<std::uint8_t>& pixels, int part, images::Canvas& canvas) {
  UnpackMonitorPart(std::span<const std::uint8_t, kPartPixelBytes>(pixels.data(), kPartPixelBytes),
                    part, canvas);
}

TEST(MonitorUnpacking, ColoursAndTheTransposedBottomRows) {
  EXPECT_EQ(MonitorPixelColour(0xFC00), (images::Pixel{0, 252, 0}));
  EXPECT_EQ(MonitorPixelColour(0x03E0), (images::Pixel{0, 0, 248}));
  EXPECT_EQ(MonitorPixelColour(0x001F), (images::Pixel{248, 0, 0}));

  auto canvas = std::make_unique<images::Canvas>();
  std::vector<std::uint8_t> pixels(kPartPixelBytes, 0);
  SetPart(pixels, 0, 5, 0xFC00);    // line 0: canvas row 0
  SetPart(pixels, 0, 480, 0x001F);  // row 256, column 0
  SetPart(pixels, 0, 481, 0x03E0);  // row 256, column 256
  SetPart(pixels, 3, 511, 0xFFFF);  // row 271, column 259
  Unpack(pixels, 0, *canvas);
  EXPECT_EQ(canvas->At(0, 5), (images::Pixel{0, 252, 0}));
  EXPECT_EQ(canvas->At(256, 0), (images::Pixel{248, 0, 0}));
  EXPECT_EQ(canvas->At(256, 256), (images::Pixel{0, 0, 248}));
  EXPECT_EQ(canvas->At(271, 259), (images::Pixel{248, 252, 248}));
  EXPECT_EQ(canvas->bytes[canvas->Offset(271, 259) + 3], 0);
  EXPECT_EQ(canvas->At(1, 5), (images::Pixel{}));

  // Part 7 carries lines 224 to 255: their odd transposed pixels would land past column
  // 479 and are dropped, leaving what part 6 put at column 479 and the spare bytes alone.
  std::vector<std::uint8_t> part6(kPartPixelBytes, 0);
  SetPart(part6, 31, 481, 0x07E0);  // line 223, row 256, column 479
  Unpack(part6, 6, *canvas);
  canvas->bytes[images::kCanvasBytes] = 0xAB;
  std::vector<std::uint8_t> part7(kPartPixelBytes, 0xFF);
  Unpack(part7, 7, *canvas);
  EXPECT_EQ(canvas->At(256, 479), MonitorPixelColour(0x07E0));
  EXPECT_EQ(canvas->At(256, 224), (images::Pixel{248, 252, 248}));  // even pixel of line 224
  EXPECT_EQ(canvas->At(255, 479), (images::Pixel{248, 252, 248}));
  EXPECT_EQ(canvas->bytes[images::kCanvasBytes], 0xAB);
}

TEST(Monitor, FramesMatchTheHeadScreenAndCarryKeysAndClicks) {
  Rig rig;
  MonitorContext ctx = rig.Context();
  ASSERT_EQ(StartMonitor(ctx, StartedBy::kButton), Outcome::kDone);
  EXPECT_TRUE(rig.window.running_shown);
  EXPECT_TRUE(rig.window.timer_armed);
  EXPECT_EQ(rig.engine().Stats().handshakes, 0);  // opened without the handshake

  rig.Tick();
  const auto& screen = rig.engine().MonitorScreen();
  int wrong = 0;
  for (int y = 0; y < images::kCanvasHeight; ++y) {
    for (int x = 0; x < images::kCanvasWidth; ++x) {
      wrong += rig.canvas->At(y, x) != MonitorPixelColour(screen.Pixel(x, y));
    }
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(rig.engine().Stats().monitor_requests, 8);
  EXPECT_EQ(rig.window.paints, 1);

  // A key and a click made while part 2 is fetched go with part 3, once.
  int parts_seen = 0;
  rig.host.on_events = [&] {
    if (++parts_seen == 3) {
      PressConsoleKey(*rig.state, 13);
      PictureClicked(*rig.state, 0, 65, 960, 609, false);
    }
  };
  rig.Tick();
  EXPECT_EQ(rig.engine().MonitorState().last_key, 13);
  EXPECT_EQ(rig.engine().MonitorState().bank, 1);  // the up key stepped it once
  EXPECT_EQ(rig.state->console_key, 0);
  EXPECT_EQ(rig.state->pointer_x, 0);
  EXPECT_GE(rig.engine().MonitorState().click_x, 0);
  EXPECT_TRUE(rig.window.timer_armed);
  EXPECT_TRUE(rig.host.messages.empty());
}

TEST(Monitor, RefusedAndFailedStartsShowTheirMessageAndOpenNothing) {
  Rig rig;
  rig.window.port = "COM1";
  MonitorContext ctx = rig.Context();
  EXPECT_EQ(StartMonitor(ctx, StartedBy::kButton), Outcome::kRefused);
  ASSERT_EQ(rig.host.messages.size(), 1u);
  EXPECT_EQ(rig.host.messages[0].string_id, TextNumber(ToolText::kUsbOnly));
  EXPECT_EQ(rig.host.messages[0].caption, "");  // the program's title
  EXPECT_EQ(rig.host.messages[0].icon, tool::Icon::Error);
  EXPECT_EQ(rig.unit.opens(), 0);
  EXPECT_FALSE(rig.window.timer_armed);
  EXPECT_FALSE(rig.window.running_shown);

  rig.window.port = "usb";
  rig.unit.Unplug();
  EXPECT_EQ(StartMonitor(ctx, StartedBy::kButton), Outcome::kFailed);
  ASSERT_EQ(rig.host.messages.size(), 2u);
  // The text itself, then a line on what was looked for and what to do.
  EXPECT_TRUE(rig.host.messages[1].text.starts_with("no KYR found\nLooked for a USB device"))
      << rig.host.messages[1].text;
  EXPECT_FALSE(rig.window.timer_armed);
  EXPECT_FALSE(rig.state->running);
}

TEST(Monitor, DroppedLinkRestartsSilentlyAndStopEndsEvenWhileTheHeadIsAway) {
  Rig rig;
  MonitorContext ctx = rig.Context();
  ASSERT_EQ(StartMonitor(ctx, StartedBy::kButton), Outcome::kDone);
  rig.Tick();
  rig.AddFault(FaultKind::kDroppedLink, headsim::kMonitorCommand, 4);
  rig.Tick();  // part 4 never comes: the link is closed, a restart is due
  EXPECT_TRUE(rig.state->reconnect_requested);
  EXPECT_FALSE(rig.link.IsOpen());
  EXPECT_TRUE(rig.window.timer_armed);
  rig.Tick();  // the head is still away: the restart fails quietly
  EXPECT_TRUE(rig.state->reconnect_requested);
  const int frames_before = rig.engine().Stats().monitor_requests;
  rig.Tick(3);  // back after 250 ms: frames flow again on a new link
  EXPECT_FALSE(rig.state->reconnect_requested);
  EXPECT_GT(rig.engine().Stats().monitor_requests, frames_before);
  EXPECT_TRUE(rig.host.messages.empty());
  EXPECT_TRUE(rig.window.running_shown);

  // Unplugged again, Stop between ticks still ends the monitor at the next tick.
  rig.unit.Unplug();
  rig.Tick();
  ASSERT_TRUE(rig.state->reconnect_requested);
  StopMonitor(*rig.state);
  rig.Tick();
  EXPECT_FALSE(rig.window.timer_armed);
  EXPECT_FALSE(rig.window.running_shown);
  EXPECT_FALSE(rig.state->running);
  EXPECT_FALSE(rig.link.IsOpen());
  EXPECT_TRUE(rig.host.messages.empty());
}

TEST(Monitor, StopClosesWithoutTheClosingFrameAndAComPortEndsARestartOnce) {
  Rig rig;
  MonitorContext ctx = rig.Context();
  ASSERT_EQ(StartMonitor(ctx, StartedBy::kButton), Outcome::kDone);
  rig.Tick();
  StopMonitor(*rig.state);
  const int requests = rig.engine().Stats().monitor_requests;
  rig.Tick();
  EXPECT_EQ(rig.engine().Stats().monitor_requests, requests);  // no frame after Stop
  EXPECT_EQ(rig.engine().Stats().closes, 0);
  EXPECT_FALSE(rig.window.timer_armed);
  EXPECT_FALSE(rig.window.running_shown);

  // Started again; the port box is changed to a COM port and the link drops.
  ASSERT_EQ(StartMonitor(ctx, StartedBy::kButton), Outcome::kDone);
  EXPECT_FALSE(rig.state->stop_requested);
  rig.unit.Unplug();
  rig.Tick();
  rig.window.port = "COM3";
  rig.Tick();
  ASSERT_EQ(rig.host.messages.size(), 1u);
  EXPECT_EQ(rig.host.messages[0].string_id, TextNumber(ToolText::kUsbOnly));
  EXPECT_FALSE(rig.window.timer_armed);
  EXPECT_FALSE(rig.window.running_shown);
}

TEST(Monitor, ClicksAreScaledIntoThePointerRangeAndClamped) {
  MonitorState state;
  PictureClicked(state, 0, 65, 960, 622, false);
  EXPECT_EQ(state.pointer_x, 13);
  EXPECT_EQ(state.pointer_y, 13);
  PictureClicked(state, 960, 622, 960, 622, false);
  EXPECT_EQ(state.pointer_x, 241);                  // 243 clamped
  EXPECT_EQ(state.pointer_y, 228);                  // 243 clamped
  PictureClicked(state, 480, 10, 960, 622, false);  // above the picture
  EXPECT_EQ(state.pointer_x, 128);
  EXPECT_EQ(state.pointer_y, 0);
  PictureClicked(state, 480, 50, 960, 607, true);  // the Japanese picture starts higher
  EXPECT_EQ(state.pointer_y, 13);
  state.pointer_x = 7;
  PictureClicked(state, 10, 10, 0, 40, false);  // no room for a picture: ignored
  EXPECT_EQ(state.pointer_x, 7);
}

}  // namespace
}  // namespace kyr::monitor
