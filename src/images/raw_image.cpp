#include "images/raw_image.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <vector>

#include "images/file_io.h"

namespace kyr::images {

std::string_view ImageFileResultName(ImageFileResult result) {
  switch (result) {
    case ImageFileResult::kOk:
      return "ok";
    case ImageFileResult::kCannotOpen:
      return "cannot open";
    case ImageFileResult::kNotOneImage:
      return "not one image";
    case ImageFileResult::kBitmapRejected:
      return "bitmap rejected";
  }
  return "?";
}

std::ostream& operator<<(std::ostream& out, ImageFileResult result) {
  return out << ImageFileResultName(result);
}

void DecodeImageWords(std::span<const std::uint8_t> bytes, std::size_t first_word,
                      RawImage& image) {
  if (first_word >= kRawWords) return;
  const std::size_t count = std::min(bytes.size() / 2, kRawWords - first_word);
  for (std::size_t i = 0; i < count; ++i) {
    image.words[first_word + i] =
        static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
}

ImageFileResult ParseImageFile(std::span<const std::uint8_t> bytes, RawImage& image) {
  if (bytes.size() != kImageFileBytes) return ImageFileResult::kNotOneImage;
  DecodeImageWords(bytes, 0, image);
  return ImageFileResult::kOk;
}

void EncodeImageFile(const RawImage& image, std::span<std::uint8_t, kImageFileBytes> out) {
  for (std::size_t i = 0; i < kRawWords; ++i) {
    out[2 * i] = static_cast<std::uint8_t>(image.words[i] & 0xFF);
    out[2 * i + 1] = static_cast<std::uint8_t>(image.words[i] >> 8);
  }
}

ImageFileResult ReadImageFile(const std::string& path, RawImage& image) {
  std::FILE* file = detail::OpenForReading(path);
  if (file == nullptr) return ImageFileResult::kCannotOpen;
  // Decoded chunk by chunk so that no file-sized buffer is needed.
  std::array<std::uint8_t, 8192> chunk;
  static_assert(kImageFileBytes % chunk.size() == 0);
  ImageFileResult result = ImageFileResult::kOk;
  for (std::size_t word = 0; word < kRawWords; word += chunk.size() / 2) {
    if (detail::ReadUpTo(file, chunk) != chunk.size()) {
      result = ImageFileResult::kNotOneImage;
      break;
    }
    DecodeImageWords(chunk, word, image);
  }
  std::uint8_t extra = 0;
  if (result == ImageFileResult::kOk && detail::ReadUpTo(file, {&extra, 1}) != 0)
    result = ImageFileResult::kNotOneImage;
  std::fclose(file);
  return result;
}

bool WriteImageFile(const std::string& path, const RawImage& image) {
  std::vector<std::uint8_t> bytes(kImageFileBytes);
  EncodeImageFile(image, std::span<std::uint8_t, kImageFileBytes>(bytes.data(), kImageFileBytes));
  return detail::WriteWholeFile(path, bytes);
}

}  // namespace kyr::images
