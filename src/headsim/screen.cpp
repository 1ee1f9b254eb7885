#include "headsim/screen.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "headsim/glyphs.h"

namespace kyr::headsim {
namespace {

constexpr int kPointerOrigin = 13;  // the pointer range starts 13 in from either edge
constexpr int kPointerSpan = 230;
constexpr int kMarkerSize = 16;
constexpr int kMarkerTop = 226;
constexpr int kMarkerPixelsPerSecond = 100;

}  // namespace

std::uint16_t PackColour(int red, int green, int blue) {
  return static_cast<std::uint16_t>(((green >> 2) << 10) | ((red >> 3) << 5) | (blue >> 3));
}

int Screen::PointerToScreenX(int pointer_x) {
  return std::clamp((pointer_x - kPointerOrigin) * kScreenWidth / kPointerSpan, 0,
                    kScreenWidth - 1);
}

int Screen::PointerToScreenY(int pointer_y) {
  return std::clamp((pointer_y - kPointerOrigin) * kScreenHeight / kPointerSpan, 0,
                    kScreenHeight - 1);
}

void Screen::Fill(int x0, int y0, int x1, int y1, std::uint16_t colour) {
  x0 = std::max(x0, 0), y0 = std::max(y0, 0);
  x1 = std::min(x1, kScreenWidth), y1 = std::min(y1, kScreenHeight);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) pixels_[y * kScreenWidth + x] = colour;
}

void Screen::Text(const char* text, int x, int y, int scale, std::uint16_t colour) {
  DrawText(std::string_view(text), x, y, scale, [&](int px, int py) {
    if (px >= 0 && px < kScreenWidth && py >= 0 && py < kScreenHeight)
      pixels_[py * kScreenWidth + px] = colour;
  });
}

void Screen::Render(const ScreenState& state, std::int64_t now_ms) {
  const std::uint16_t white = PackColour(255, 255, 255);
  const std::uint16_t yellow = PackColour(255, 255, 0);
  Fill(0, 0, kScreenWidth, kScreenHeight, PackColour(16, 32, 64));
  // Frame: also exercises the bottom rows, which travel transposed.
  Fill(0, 0, kScreenWidth, 3, white);
  Fill(0, kScreenHeight - 3, kScreenWidth, kScreenHeight, white);
  Fill(0, 0, 3, kScreenHeight, white);
  Fill(kScreenWidth - 3, 0, kScreenWidth, kScreenHeight, white);

  char line[40];
  Text("KYR-TC SIMULATED HEAD", 12, 12, 2, white);
  std::snprintf(line, sizeof line, "BANK %02d", state.bank);
  Text(line, 12, 44, 4, yellow);
  std::snprintf(line, sizeof line, "KEY %02d", state.last_key);
  Text(line, 12, 100, 3, white);
  std::snprintf(line, sizeof line, "HEADS %d", state.head_count);
  Text(line, 12, 136, 2, white);
  std::snprintf(line, sizeof line, "FRAME %05u", static_cast<unsigned>(state.frames % 100000));
  Text(line, 12, 160, 2, white);

  // Colour bars: red, green, blue, white.
  const std::uint16_t bars[4] = {PackColour(255, 0, 0), PackColour(0, 255, 0),
                                 PackColour(0, 0, 255), white};
  for (int i = 0; i < 4; ++i) Fill(300 + 40 * i, 44, 336 + 40 * i, 200, bars[i]);

  // The marker crosses the screen once every few seconds, so a live picture shows motion.
  const int travel = kScreenWidth - 6 - kMarkerSize;
  const int position = static_cast<int>((now_ms * kMarkerPixelsPerSecond / 1000) % (2 * travel));
  const int marker_x = 3 + (position < travel ? position : 2 * travel - position);
  Fill(marker_x, kMarkerTop, marker_x + kMarkerSize, kMarkerTop + kMarkerSize, yellow);

  if (state.click_x >= 0) {  // cross at the last click
    const std::uint16_t magenta = PackColour(255, 0, 255);
    Fill(state.click_x - 10, state.click_y - 1, state.click_x + 11, state.click_y + 2, magenta);
    Fill(state.click_x - 1, state.click_y - 10, state.click_x + 2, state.click_y + 11, magenta);
    std::snprintf(line, sizeof line, "CLICK %03d %03d", state.click_x, state.click_y);
    Text(line, 12, 184, 2, magenta);
  }
}

void Screen::PackPart(int part, std::uint8_t* out) const {
  auto put = [&out](std::uint16_t v) {
    *out++ = static_cast<std::uint8_t>(v >> 8);
    *out++ = static_cast<std::uint8_t>(v & 0xFF);
  };
  for (int line = part * kLinesPerPart; line < (part + 1) * kLinesPerPart; ++line) {
    for (int x = 0; x < kScreenWidth; ++x) put(Pixel(x, line));
    // The bottom 16 rows travel column-wise in the last 32 pixels of each line.
    for (int r = 0; r < 16; ++r) {
      put(Pixel(line, 256 + r));
      put(line + 256 < kScreenWidth ? Pixel(line + 256, 256 + r) : 0);
    }
  }
}

}  // namespace kyr::headsim
