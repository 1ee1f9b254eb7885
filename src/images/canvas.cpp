#include "images/canvas.h"

#include <algorithm>

namespace kyr::images {
namespace {

// A colour sum of the sensor's samples scaled to one 8-bit channel.
std::uint8_t Channel(int sum) {
  return static_cast<std::uint8_t>(std::clamp(sum, 0, 2047) >> 3);
}

}  // namespace

void RawImageToCanvas(const RawImage& image, Canvas& canvas) {
  canvas.Clear();
  for (int y = 0; y < kRawRows; ++y) {
    // The last row has no row below it and pairs with the one above instead.
    const int neighbour = y + 1 < kRawRows ? y + 1 : y - 1;
    const int even_row = y % 2 == 0 ? y : neighbour;
    const int odd_row = y % 2 == 0 ? neighbour : y;
    const std::uint16_t* even = &image.words[static_cast<std::size_t>(even_row * kRawColumns)];
    const std::uint16_t* odd = &image.words[static_cast<std::size_t>(odd_row * kRawColumns)];
    std::uint8_t* out = &canvas.bytes[canvas.Offset(y, 0)];
    for (int x = 0; x < kRawColumns; ++x, out += kCanvasPixelBytes) {
      const int a = even[x] >> 8;
      const int b = even[x] & 0xFF;
      const int c = odd[x] >> 8;
      const int d = odd[x] & 0xFF;
      out[0] = Channel(7 * (a + c) - 4 * (b + d));
      out[1] = Channel(7 * (a + d) - 4 * (b + c));
      out[2] = Channel(7 * (b + d) - 4 * (a + c));
    }
  }
}

ImageFileResult LoadImageFile(const std::string& path, RawImage& image, Canvas& canvas) {
  canvas.Clear();
  const ImageFileResult result = ReadImageFile(path, image);
  if (result != ImageFileResult::kOk) return result;
  RawImageToCanvas(image, canvas);
  return ImageFileResult::kOk;
}

}  // namespace kyr::images
