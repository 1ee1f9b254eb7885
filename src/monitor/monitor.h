#pragma once
// The live image monitor: the head's 480 x 272 screen fetched in eight raw parts every
// 100 ms over USB, unpacked into the display canvas and painted, with the last console key
// and picture click passed to the head with each request.
//
// The window owns the timer and the widgets; this code decides everything else. A frame
// that fails is dropped silently and the link reopened at the next tick, until Stop.
//
// Typical use (the main window):
//   MonitorContext ctx{host, window, link, state, canvas};
//   StartMonitor(ctx, StartedBy::kButton);   // Image Monitor button
//   MonitorTick(ctx);                         // each time the one-shot timer fires
//   StopMonitor(state);                       // Stop button
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "images/canvas.h"
#include "link/link.h"
#include "tool/outcome.h"
#include "tool/tool_host.h"

namespace kyr::monitor {

using tool::Outcome;

inline constexpr int kFrameParts = 8;
inline constexpr int kLinesPerPart = 32;
inline constexpr int kSourceLineWidth = 512;
inline constexpr std::size_t kPartPixels = kLinesPerPart * kSourceLineWidth;  // 16384
inline constexpr std::size_t kPartPixelBytes = 2 * kPartPixels;
inline constexpr std::size_t kReplyBytes = 2 + kPartPixelBytes;  // 32770
inline constexpr int kFrameIntervalMs = 100;

// Canvas colour of one monitor pixel: 6 bits green, 5 red, 5 blue, high bits first.
images::Pixel MonitorPixelColour(std::uint16_t value);

// Writes part `part` (0 to 7; its 16384 pixels, two bytes each, high byte first) into the
// canvas. Source line s = 32 part + n: pixels 0 to 479 are canvas row s; pixels 480 to 511
// carry the bottom 16 rows transposed (even pixels column s, odd pixels column 256 + s, the
// latter only for s below 224).
void UnpackMonitorPart(std::span<const std::uint8_t, kPartPixelBytes> pixels, int part,
                       images::Canvas& canvas);

// Monitor state for the life of the window. Holds the reply buffer so that nothing is
// allocated per frame.
struct MonitorState {
  bool running = false;  // started and not yet ended by Stop or a refused restart
  bool stop_requested = false;
  bool failed = false;               // the current frame failed
  bool reconnect_requested = false;  // reopen the link at the next tick
  std::uint8_t console_key = 0;      // 0 to 14, sent with the next request
  std::uint8_t pointer_x = 0;        // last click, sent with the next request
  std::uint8_t pointer_y = 0;
  std::array<std::uint8_t, kReplyBytes> reply{};
};

// What the monitor needs of the main window besides message boxes and pending events.
class MonitorWindow {
 public:
  virtual ~MonitorWindow() = default;
  // The port box text (read at every start).
  virtual std::string PortText() = 0;
  // Running: Image Monitor, Save BMP, Exit, the transfer and image buttons, Target Head and
  // Image Type off, Stop on, the picture focused. Not running: the reverse.
  virtual void ShowMonitorRunning(bool running) = 0;
  // The one-shot frame timer.
  virtual void StartFrameTimer(int milliseconds) = 0;
  virtual void KillFrameTimer() = 0;
  virtual void PaintCanvas() = 0;
};

struct MonitorContext {
  tool::ToolHost& host;
  MonitorWindow& window;
  link::Link& link;
  MonitorState& state;
  images::Canvas& canvas;
};

enum class StartedBy { kButton, kTimer };

// StartMonitor: done when started, refused (kUsbOnly) when the port is not USB, failed
// when the link did not open.

// Opens the link over USB without the handshake and starts the timer. From the button a
// failure is shown; a restart from the timer shows nothing for a failed open and lets the
// next tick try again, and keeps a pending Stop.
Outcome StartMonitor(MonitorContext& ctx, StartedBy started_by);

// The Stop button: the next tick ends the monitor.
void StopMonitor(MonitorState& state);

// The timer handler: restart when due, one frame, paint, re-arm unless stopping.
void MonitorTick(MonitorContext& ctx);

// FetchMonitorFrame: done; failed (the link closed, reopened at the next tick); aborted (Stop
// honoured: link closed, buttons restored).

// One frame: eight requests, each reply unpacked into the canvas, one pending window event
// let through per part (so keys, clicks and Stop act while a frame is fetched).
Outcome FetchMonitorFrame(MonitorContext& ctx);

// Where the picture starts in the main window's client area: 65 pixels down, 50 in the
// Japanese layout.
inline constexpr int PictureTop(bool japanese) {
  return japanese ? 50 : 65;
}

// A click at (x, y) in the main window's client area of size width x height, scaled into
// the head's pointer range (x 0 to 241, y 0 to 228) and kept for the next request, the
// picture starting at PictureTop. Ignored for a window too small to hold the picture.
void PictureClicked(MonitorState& state, int x, int y, int width, int height, bool japanese);

// A key of the console key table, sent with the next request.
void PressConsoleKey(MonitorState& state, int code);

}  // namespace kyr::monitor
