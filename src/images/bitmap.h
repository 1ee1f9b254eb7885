#pragma once
// 24-bit Windows bitmaps: the canvas saved as a picture, and pictures converted into raw
// images for writing into a head.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "images/canvas.h"
#include "images/raw_image.h"

namespace kyr::images {

inline constexpr std::size_t kBitmapHeaderBytes = 54;  // file header 14 + info header 40
inline constexpr std::size_t kCanvasBitmapPixelBytes =
    static_cast<std::size_t>(kCanvasWidth) * kCanvasHeight * 3;  // 391680
inline constexpr std::size_t kCanvasBitmapBytes =
    kBitmapHeaderBytes + kCanvasBitmapPixelBytes;  // 391734

// The header written in front of a saved canvas.
std::array<std::uint8_t, kBitmapHeaderBytes> CanvasBitmapHeader();

// The whole bitmap file of `canvas`: header, then rows 271 up to 0 as blue, green, red.
void EncodeCanvasBitmap(const Canvas& canvas, std::span<std::uint8_t, kCanvasBitmapBytes> out);

// Writes the canvas as a bitmap file; `path` is replaced only once the file is complete.
bool WriteCanvasBitmap(const std::string& path, const Canvas& canvas);

// Source width (256 or 512) accepted from the first 54 bytes of a bitmap file, or 0 when
// they are refused. Only the type mark, the bits per pixel, the second byte of the width
// (with a zero first byte) and the first two bytes of the height are tested.
int AcceptedBitmapWidth(std::span<const std::uint8_t, kBitmapHeaderBytes> header);

// A bitmap file held in memory: ImageFileResult::kOk with `image` filled, or kBitmapRejected when
// the header is refused or the pixel rows are incomplete (nothing is guessed for them).
// Rows are bottom-up: the first row stored becomes raw row 255. A 512-wide row is halved
// by averaging neighbouring pixels. On rejection the image is left partly written.
ImageFileResult BitmapToRawImage(std::span<const std::uint8_t> file, RawImage& image);

// The same from a file: kOk, kBitmapRejected or kCannotOpen.
ImageFileResult ReadBitmapFile(const std::string& path, RawImage& image);

}  // namespace kyr::images
