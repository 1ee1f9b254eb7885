#pragma once
// A 5 by 7 pixel font for the texts the simulated head draws on its screen and into its
// stored pictures: digits, upper-case letters and a little punctuation.
#include <array>
#include <cstdint>
#include <string_view>

namespace kyr::headsim {

inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 7;
inline constexpr int kGlyphAdvance = 6;

// Seven rows, top first; bit 4 of a row is its leftmost pixel. Unknown characters are blank.
const std::array<std::uint8_t, kGlyphHeight>& GlyphRows(char c);

// Calls plot(x, y) for every set pixel of `text` drawn at (left, top), each font pixel
// enlarged to scale by scale.
template <typename Plot>
void DrawText(std::string_view text, int left, int top, int scale, Plot plot) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto& rows = GlyphRows(text[i]);
    const int x0 = left + static_cast<int>(i) * kGlyphAdvance * scale;
    for (int row = 0; row < kGlyphHeight; ++row) {
      for (int col = 0; col < kGlyphWidth; ++col) {
        if (((rows[row] >> (kGlyphWidth - 1 - col)) & 1) == 0) continue;
        for (int dy = 0; dy < scale; ++dy)
          for (int dx = 0; dx < scale; ++dx) plot(x0 + col * scale + dx, top + row * scale + dy);
      }
    }
  }
}

}  // namespace kyr::headsim
