#pragma once
// The display canvas the tool's picture area shows, and the conversion of a raw image
// into its colours.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "images/raw_image.h"

namespace kyr::images {

inline constexpr int kCanvasWidth = 480;
inline constexpr int kCanvasHeight = 272;
inline constexpr int kCanvasPixelBytes = 4;  // blue, green, red, always-zero
inline constexpr std::size_t kCanvasRowBytes = kCanvasWidth * kCanvasPixelBytes;  // 1920
inline constexpr std::size_t kCanvasBytes = kCanvasRowBytes * kCanvasHeight;      // 522240
inline constexpr std::size_t kCanvasReservedBytes = 524288;

struct Pixel {
  std::uint8_t blue = 0;
  std::uint8_t green = 0;
  std::uint8_t red = 0;
  bool operator==(const Pixel&) const = default;
};

// Rows top first; black (all zero) when created.
struct Canvas {
  std::array<std::uint8_t, kCanvasReservedBytes> bytes{};

  std::size_t Offset(int row, int column) const {
    return static_cast<std::size_t>(row) * kCanvasRowBytes +
           static_cast<std::size_t>(column) * kCanvasPixelBytes;
  }
  Pixel At(int row, int column) const {
    const std::size_t at = Offset(row, column);
    return {bytes[at], bytes[at + 1], bytes[at + 2]};
  }
  void Clear() { bytes.fill(0); }
};

// Clears the canvas and draws `image` into its top-left 256 x 256 pixels. A picture
// point's colour comes from its cell and the cell below it (above it in the last row):
// the even row's cell gives samples a (high) and b (low), the odd row's c and d.
void RawImageToCanvas(const RawImage& image, Canvas& canvas);

// Reads a .kimg file into `image` and shows it on `canvas`. The canvas is cleared first
// in every case. Returns kOk, kCannotOpen or kNotOneImage (see raw_image.h).
ImageFileResult LoadImageFile(const std::string& path, RawImage& image, Canvas& canvas);

}  // namespace kyr::images
