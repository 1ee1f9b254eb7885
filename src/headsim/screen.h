#pragma once
// The head's monitor screen: 480 by 272 pixels of 16 bits (6 bits green in bits 15-10,
// 5 bits red in bits 9-5, 5 bits blue in bits 4-0), drawn afresh for every frame, and its
// packing into the eight parts the monitor requests fetch.
#include <array>
#include <cstdint>

namespace kyr::headsim {

inline constexpr int kScreenWidth = 480;
inline constexpr int kScreenHeight = 272;
inline constexpr int kMonitorParts = 8;
inline constexpr int kLinesPerPart = 32;

// What the screen shows; the console keys and pointer clicks change it.
struct ScreenState {
  int bank = 0;      // shown bank, stepped by the up and down keys
  int last_key = 0;  // last console key code received, 0 when none yet
  int click_x = -1;  // screen position of the last pointer click, -1 when none
  int click_y = -1;
  int head_count = 1;
  std::uint32_t frames = 0;  // frames drawn so far
};

std::uint16_t PackColour(int red, int green, int blue);

class Screen {
 public:
  // Draws the whole screen for the state at time `now_ms` (the marker moves with time).
  void Render(const ScreenState& state, std::int64_t now_ms);

  std::uint16_t Pixel(int x, int y) const { return pixels_[y * kScreenWidth + x]; }

  // Writes the 16384 pixels of `part` (0 to 7), high byte first, into out[0..32767].
  void PackPart(int part, std::uint8_t* out) const;

  // Screen position of a pointer value pair as the tool scales clicks into them.
  static int PointerToScreenX(int pointer_x);
  static int PointerToScreenY(int pointer_y);

 private:
  void Fill(int x0, int y0, int x1, int y1, std::uint16_t colour);
  void Text(const char* text, int x, int y, int scale, std::uint16_t colour);

  std::array<std::uint16_t, kScreenWidth * kScreenHeight> pixels_{};
};

}  // namespace kyr::headsim
