// The bitmap reader on arbitrary bytes: a bitmap it accepts must have a header it accepts.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "images/bitmap.h"
#include "images/raw_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static kyr::images::RawImage image;
  const std::span<const std::uint8_t> file(data, size);
  const kyr::images::ImageFileResult result = kyr::images::BitmapToRawImage(file, image);
  if (result != kyr::images::ImageFileResult::kOk &&
      result != kyr::images::ImageFileResult::kBitmapRejected)
    std::abort();
  if (result == kyr::images::ImageFileResult::kOk) {
    if (size < kyr::images::kBitmapHeaderBytes) std::abort();
    const std::span<const std::uint8_t, kyr::images::kBitmapHeaderBytes> header(
        data, kyr::images::kBitmapHeaderBytes);
    if (kyr::images::AcceptedBitmapWidth(header) == 0) std::abort();
  }
  return 0;
}
