// The monitor command: grabs frames of the head's screen and saves the last as a bitmap.
#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <thread>

#include "cli.h"
#include "console_host.h"
#include "images/ops/save_bitmap.h"
#include "link/link.h"
#include "monitor/monitor.h"

namespace kyr::ridgemo {
namespace {

// Frames that may fail in a row before the command gives up (about five seconds).
constexpr int kMaxFailuresInARow = 50;
constexpr int kMaxFrames = 100000;

// The monitor's window on the command line: the port from the options, no widgets, and
// the pause between frames taken by the command's own loop.
class ConsoleMonitorWindow : public monitor::MonitorWindow {
 public:
  explicit ConsoleMonitorWindow(std::string port) : port_(std::move(port)) {}
  std::string PortText() override { return port_; }
  void ShowMonitorRunning(bool) override {}
  void StartFrameTimer(int) override {}
  void KillFrameTimer() override {}
  void PaintCanvas() override {}

 private:
  std::string port_;
};

bool ParseFrames(const std::string& text, int& frames) {
  frames = ParseNumber(text).value_or(0);
  return frames >= 1 && frames <= kMaxFrames;
}

}  // namespace

// monitor --frames N --bmp OUT.bmp
int RunMonitor(CommandContext& ctx) {
  bool missing = false;
  const auto frames_text = TakeOption(ctx.args, "--frames", missing);
  const auto bmp = TakeOption(ctx.args, "--bmp", missing);
  int frames = 0;
  if (missing || !frames_text || !bmp || !ctx.args.empty() || !ParseFrames(*frames_text, frames)) {
    return UsageError(ctx, "monitor");
  }
  link::Link link(LinkEnvironmentFor(ctx.options));
  const LinkWatch watch(ctx.console, link);
  auto canvas = std::make_unique<images::Canvas>();
  auto state = std::make_unique<monitor::MonitorState>();
  ConsoleMonitorWindow window(ctx.options.port);
  monitor::MonitorContext monitor_ctx{ctx.host, window, link, *state, *canvas};
  if (monitor::StartMonitor(monitor_ctx, monitor::StartedBy::kButton) != monitor::Outcome::kDone) {
    return kExitFailed;
  }
  int grabbed = 0;
  int failures_in_a_row = 0;
  while (grabbed < frames) {
    if (state->reconnect_requested &&
        monitor::StartMonitor(monitor_ctx, monitor::StartedBy::kTimer) ==
            monitor::Outcome::kRefused) {
      break;
    }
    if (monitor::FetchMonitorFrame(monitor_ctx) == monitor::Outcome::kDone) {
      ++grabbed;
      failures_in_a_row = 0;
    } else if (++failures_in_a_row >= kMaxFailuresInARow) {
      break;
    }
    if (grabbed < frames) {
      std::this_thread::sleep_for(std::chrono::milliseconds(monitor::kFrameIntervalMs));
    }
  }
  link.CloseLink(false);
  if (grabbed < frames) {
    ctx.err << "ridgemo: the head stopped answering after " << grabbed << " of " << frames
            << " frames\n";
    return kExitFailed;
  }
  const tool::Outcome saved = images::SaveCanvasBitmapAs(ctx.host, *canvas, *bmp);
  return saved == images::Outcome::kDone ? kExitDone : kExitFailed;
}

}  // namespace kyr::ridgemo
