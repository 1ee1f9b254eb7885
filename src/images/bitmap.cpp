#include "images/bitmap.h"

#include <cstdio>
#include <vector>

#include "images/file_io.h"

namespace kyr::images {
namespace {

constexpr int kRawSourceRowBytesMax = 512 * 3;

void PutLe16(std::span<std::uint8_t> out, std::size_t at, std::uint32_t value) {
  out[at] = static_cast<std::uint8_t>(value & 0xFF);
  out[at + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

void PutLe32(std::span<std::uint8_t> out, std::size_t at, std::uint32_t value) {
  PutLe16(out, at, value & 0xFFFF);
  PutLe16(out, at + 2, value >> 16);
}

// Packs a colour sum of 0 to 1020 into 8 bits, finer for dark values than for bright ones.
int Compress(int sum) {
  if (sum < 256) return sum >> 1;
  if (sum < 512) return (sum >> 2) + 64;
  return (sum >> 3) + 128;
}

// A cell of an even raw row holds the packed sums B + 3G (high byte) and B + 2R + G (low
// byte); a cell of an odd row 2B + R + G and R + 3G.
std::uint16_t CellFromColour(int blue, int green, int red, bool even_row) {
  const int high = even_row ? Compress(blue + 3 * green) : Compress(2 * blue + red + green);
  const int low = even_row ? Compress(blue + 2 * red + green) : Compress(red + 3 * green);
  return static_cast<std::uint16_t>((high << 8) | low);
}

// One source row of `width` pixels (blue, green, red) into raw row `raw_row`.
void ConvertBitmapRow(const std::uint8_t* pixels, int width, int raw_row, RawImage& image) {
  const bool even_row = raw_row % 2 == 0;
  std::uint16_t* cells = &image.words[static_cast<std::size_t>(raw_row * kRawColumns)];
  if (width == 256) {
    for (int x = 0; x < kRawColumns; ++x, pixels += 3) {
      cells[x] = CellFromColour(pixels[0], pixels[1], pixels[2], even_row);
    }
    return;
  }
  for (int x = 0; x < kRawColumns; ++x, pixels += 6) {
    cells[x] = CellFromColour((pixels[0] + pixels[3]) >> 1, (pixels[1] + pixels[4]) >> 1,
                              (pixels[2] + pixels[5]) >> 1, even_row);
  }
}

}  // namespace

std::array<std::uint8_t, kBitmapHeaderBytes> CanvasBitmapHeader() {
  std::array<std::uint8_t, kBitmapHeaderBytes> header{};
  header[0] = 'B';
  header[1] = 'M';
  PutLe32(header, 2, kCanvasBitmapBytes);
  PutLe32(header, 10, kBitmapHeaderBytes);
  PutLe32(header, 14, 40);
  PutLe32(header, 18, kCanvasWidth);
  PutLe32(header, 22, kCanvasHeight);  // positive: rows stored bottom-up
  PutLe16(header, 26, 1);
  PutLe16(header, 28, 24);
  PutLe32(header, 34, kCanvasBitmapPixelBytes);
  return header;
}

void EncodeCanvasBitmap(const Canvas& canvas, std::span<std::uint8_t, kCanvasBitmapBytes> out) {
  const auto header = CanvasBitmapHeader();
  std::copy(header.begin(), header.end(), out.begin());
  std::uint8_t* to = out.data() + kBitmapHeaderBytes;
  for (int row = kCanvasHeight - 1; row >= 0; --row) {
    const std::uint8_t* from = &canvas.bytes[canvas.Offset(row, 0)];
    for (int x = 0; x < kCanvasWidth; ++x, from += kCanvasPixelBytes, to += 3) {
      to[0] = from[0];
      to[1] = from[1];
      to[2] = from[2];
    }
  }
}

bool WriteCanvasBitmap(const std::string& path, const Canvas& canvas) {
  std::vector<std::uint8_t> file(kCanvasBitmapBytes);
  EncodeCanvasBitmap(canvas, std::span<std::uint8_t, kCanvasBitmapBytes>(file.data(), file.size()));
  return detail::WriteWholeFile(path, file);
}

int AcceptedBitmapWidth(std::span<const std::uint8_t, kBitmapHeaderBytes> header) {
  const bool accepted = header[0] == 'B' && header[1] == 'M' && header[28] == 24 &&
                        header[18] == 0 && (header[19] == 1 || header[19] == 2) &&
                        header[22] == 0 && header[23] == 1;
  return accepted ? 256 * header[19] : 0;
}

ImageFileResult BitmapToRawImage(std::span<const std::uint8_t> file, RawImage& image) {
  if (file.size() < kBitmapHeaderBytes) return ImageFileResult::kBitmapRejected;
  const int width = AcceptedBitmapWidth(file.first<kBitmapHeaderBytes>());
  if (width == 0) return ImageFileResult::kBitmapRejected;
  const std::size_t row_bytes = static_cast<std::size_t>(width) * 3;
  if (file.size() < kBitmapHeaderBytes + kRawRows * row_bytes)
    return ImageFileResult::kBitmapRejected;
  const std::uint8_t* row = file.data() + kBitmapHeaderBytes;
  for (int raw_row = kRawRows - 1; raw_row >= 0; --raw_row, row += row_bytes) {
    ConvertBitmapRow(row, width, raw_row, image);
  }
  return ImageFileResult::kOk;
}

ImageFileResult ReadBitmapFile(const std::string& path, RawImage& image) {
  std::FILE* file = detail::OpenForReading(path);
  if (file == nullptr) return ImageFileResult::kCannotOpen;
  std::array<std::uint8_t, kBitmapHeaderBytes> header;
  std::array<std::uint8_t, kRawSourceRowBytesMax> row;
  ImageFileResult result = ImageFileResult::kBitmapRejected;
  const int width =
      detail::ReadUpTo(file, header) == header.size() ? AcceptedBitmapWidth(header) : 0;
  if (width != 0) {
    const std::span<std::uint8_t> row_bytes(row.data(), static_cast<std::size_t>(width) * 3);
    result = ImageFileResult::kOk;
    for (int raw_row = kRawRows - 1; raw_row >= 0 && result == ImageFileResult::kOk; --raw_row) {
      if (detail::ReadUpTo(file, row_bytes) != row_bytes.size()) {
        result = ImageFileResult::kBitmapRejected;
      } else {
        ConvertBitmapRow(row.data(), width, raw_row, image);
      }
    }
  }
  std::fclose(file);
  return result;
}

}  // namespace kyr::images
