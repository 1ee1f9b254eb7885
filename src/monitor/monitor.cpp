#include "monitor/monitor.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "link/protocol.h"
#include "link/result_codes.h"
#include "strings/strings.h"
#include "tool/messages.h"

namespace kyr::monitor {
namespace {

constexpr int kCanvasBottomRows = 256;    // first of the 16 rows carried transposed
constexpr int kSecondHalfColumn = 256;    // odd transposed pixels start here
constexpr int kLastSecondHalfLine = 224;  // odd transposed pixels of later lines drop
constexpr int kVisibleLineWidth = images::kCanvasWidth;  // 480

constexpr int kPointerScale = 230;
constexpr int kPointerOffset = 13;
constexpr int kPointerMaxX = 241;
constexpr int kPointerMaxY = 228;

constexpr const char* kNoKyrFound = "no KYR found";

// Blue, green, red and a zero byte, as one little-endian word of the canvas.
static_assert(std::endian::native == std::endian::little, "canvas words are stored little-endian");
inline std::uint32_t CanvasWord(std::uint8_t high, std::uint8_t low) {
  const std::uint32_t value = static_cast<std::uint32_t>(high) << 8 | low;
  return ((value & 0x1F) << 3) | (((value >> 8) & 0xFC) << 8) | (((value >> 2) & 0xF8) << 16);
}

void StoreMonitorPixel(images::Canvas& canvas, int row, int column, std::uint8_t high,
                       std::uint8_t low) {
  const std::uint32_t word = CanvasWord(high, low);
  std::memcpy(canvas.bytes.data() + canvas.Offset(row, column), &word, sizeof word);
}

// Opened without the handshake, the link fails only to find or to open the head unit.
tool::Message OpenFailureMessage(link::LinkResult result, const std::string& detail) {
  if (result == link::LinkResult::kNoKyrDevice) {
    return tool::TitleErrorBox(ToolText{}, std::string(kNoKyrFound) + "\n" +
                                               std::string(LoadString(ToolText::kNoUnitHint)));
  }
  tool::Message message = tool::TitleErrorBox(link::LinkMessageId(result));
  if (!detail.empty()) message.text += "\n" + detail;
  return message;
}

void ClearExchange(MonitorState& state) {
  state.failed = false;
  state.reconnect_requested = false;
  state.console_key = 0;
  state.pointer_x = 0;
  state.pointer_y = 0;
}

// Writes the request for `part` and reads its reply; false on any frame failure.
bool ExchangePart(MonitorContext& ctx, int part) {
  MonitorState& state = ctx.state;
  const auto request =
      link::MonitorPartRequest(state.console_key, state.pointer_x, state.pointer_y, part);
  state.console_key = 0;
  state.pointer_x = 0;
  state.pointer_y = 0;
  std::size_t count = 0;
  if (!ctx.link.WriteRaw(request.data(), request.size(), count) || count != request.size()) {
    return false;
  }
  // A key pressed or a click made now goes with the next part.
  ctx.host.ProcessPendingEvents(1);
  if (!ctx.link.ReadRaw(state.reply.data(), state.reply.size(), count) ||
      count != state.reply.size()) {
    return false;
  }
  if (!link::IsMonitorReplyHeader(state.reply[0], state.reply[1], part)) return false;
  UnpackMonitorPart(
      std::span<const std::uint8_t, kPartPixelBytes>(state.reply.data() + 2, kPartPixelBytes), part,
      ctx.canvas);
  return true;
}

}  // namespace

images::Pixel MonitorPixelColour(std::uint16_t value) {
  return {static_cast<std::uint8_t>((value & 0x1F) << 3),
          static_cast<std::uint8_t>((value >> 8) & 0xFC),
          static_cast<std::uint8_t>((value >> 2) & 0xF8)};
}

void UnpackMonitorPart(std::span<const std::uint8_t, kPartPixelBytes> pixels, int part,
                       images::Canvas& canvas) {
  const std::uint8_t* in = pixels.data();
  for (int line = 0; line < kLinesPerPart; ++line) {
    const int source_line = part * kLinesPerPart + line;
    std::uint8_t* out = canvas.bytes.data() + canvas.Offset(source_line, 0);
    for (int x = 0; x < kVisibleLineWidth; ++x, in += 2, out += 4) {
      const std::uint32_t word = CanvasWord(in[0], in[1]);
      std::memcpy(out, &word, sizeof word);
    }
    for (int x = kVisibleLineWidth; x < kSourceLineWidth; x += 2, in += 4) {
      const int row = kCanvasBottomRows + ((x - kVisibleLineWidth) >> 1);
      StoreMonitorPixel(canvas, row, source_line, in[0], in[1]);
      if (source_line < kLastSecondHalfLine) {
        StoreMonitorPixel(canvas, row, kSecondHalfColumn + source_line, in[2], in[3]);
      }
    }
  }
}

Outcome StartMonitor(MonitorContext& ctx, StartedBy started_by) {
  MonitorState& state = ctx.state;
  const bool restart = started_by == StartedBy::kTimer;
  // A Stop pressed while a restart was pending must still end the monitor.
  if (!restart) state.stop_requested = false;
  ClearExchange(state);
  if (link::TransportForPort(ctx.window.PortText()) != link::LinkMode::Usb) {
    ctx.host.ShowMessage(tool::TitleErrorBox(ToolText::kUsbOnly));
    if (restart && state.running) {
      // The port box was changed while monitoring: end here, once.
      state.running = false;
      ctx.window.ShowMonitorRunning(false);
    }
    return Outcome::kRefused;
  }
  const link::LinkResult opened = ctx.link.OpenLink("", /*handshake=*/false);
  if (opened != link::LinkResult::kOk) {
    if (!restart) {
      ctx.link.CloseLink(false);
      ctx.host.ShowMessage(OpenFailureMessage(opened, ctx.link.FailureDetail()));
    }
    return Outcome::kFailed;
  }
  state.running = true;
  ctx.window.ShowMonitorRunning(true);
  // The tick that restarts re-arms the timer at its own end.
  if (!restart) ctx.window.StartFrameTimer(kFrameIntervalMs);
  return Outcome::kDone;
}

void StopMonitor(MonitorState& state) {
  state.stop_requested = true;
}

void MonitorTick(MonitorContext& ctx) {
  MonitorState& state = ctx.state;
  ctx.window.KillFrameTimer();
  if (state.reconnect_requested && !state.stop_requested) {
    if (StartMonitor(ctx, StartedBy::kTimer) == Outcome::kRefused) return;
  }
  // A failed frame needs nothing here: the next tick reconnects.
  static_cast<void>(FetchMonitorFrame(ctx));
  ctx.window.PaintCanvas();
  if (!state.failed && !state.stop_requested) ctx.window.StartFrameTimer(kFrameIntervalMs);
}

Outcome FetchMonitorFrame(MonitorContext& ctx) {
  MonitorState& state = ctx.state;
  if (!state.stop_requested) {
    for (int part = 0; part < kFrameParts && !state.failed; ++part) {
      if (!ExchangePart(ctx, part)) state.failed = true;
    }
  }
  Outcome result = Outcome::kDone;
  if (state.failed) {
    ctx.link.CloseLink(false);
    state.reconnect_requested = true;
    state.failed = false;
    result = Outcome::kFailed;
  }
  if (state.stop_requested) {
    ctx.link.CloseLink(false);
    state.reconnect_requested = false;
    state.running = false;
    ctx.window.ShowMonitorRunning(false);
    result = Outcome::kAborted;
  }
  return result;
}

void PictureClicked(MonitorState& state, int x, int y, int width, int height, bool japanese) {
  const int top = PictureTop(japanese);
  if (width <= 0 || height <= top) return;
  const int pointer_x = x * kPointerScale / width + kPointerOffset;
  const int pointer_y = (y - top) * kPointerScale / (height - top) + kPointerOffset;
  state.pointer_x = static_cast<std::uint8_t>(std::clamp(pointer_x, 0, kPointerMaxX));
  state.pointer_y = static_cast<std::uint8_t>(std::clamp(pointer_y, 0, kPointerMaxY));
}

void PressConsoleKey(MonitorState& state, int code) {
  state.console_key = static_cast<std::uint8_t>(code);
}

}  // namespace kyr::monitor
