#pragma once
// The head's raw image and the .kimg file that stores it.
//
// A raw image is 256 rows of 256 cells, each cell one 16-bit word holding two 8-bit
// samples. A .kimg file is exactly those 65536 words, row 0 first, each word low byte
// first: the head's image memory copied byte for byte, with no header.
#include <array>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

namespace kyr::images {

inline constexpr int kRawRows = 256;
inline constexpr int kRawColumns = 256;
inline constexpr std::size_t kRawWords = 65536;
inline constexpr std::size_t kImageFileBytes = 2 * kRawWords;  // 131072

struct RawImage {
  std::array<std::uint16_t, kRawWords> words{};  // row-major, row 0 at the top

  std::uint16_t Cell(int row, int column) const {
    return words[static_cast<std::size_t>(row * kRawColumns + column)];
  }
  std::uint16_t& Cell(int row, int column) {
    return words[static_cast<std::size_t>(row * kRawColumns + column)];
  }
};

// Results of the image file and bitmap readers.
enum class [[nodiscard]] ImageFileResult{
    kOk,
    kCannotOpen,      // the file could not be opened for reading
    kNotOneImage,     // the file is not exactly one raw image long
    kBitmapRejected,  // not a 24-bit 256 or 512 by 256 bitmap, or short
};
std::string_view ImageFileResultName(ImageFileResult result);
std::ostream& operator<<(std::ostream& out, ImageFileResult result);

// Decodes little-endian words from `bytes` into image words starting at `first_word`;
// words beyond the end of the image and a trailing odd byte are ignored.
void DecodeImageWords(std::span<const std::uint8_t> bytes, std::size_t first_word, RawImage& image);

// A complete .kimg file held in memory: kOk, or kNotOneImage when `bytes` is
// not exactly 131072 bytes long (the image is then left untouched).
ImageFileResult ParseImageFile(std::span<const std::uint8_t> bytes, RawImage& image);

// The 131072 bytes of the .kimg file of `image`.
void EncodeImageFile(const RawImage& image, std::span<std::uint8_t, kImageFileBytes> out);

// Reads a .kimg file: kOk, kCannotOpen, or kNotOneImage for a file that is
// shorter or longer than one image (a partial image is never passed on as a whole one).
ImageFileResult ReadImageFile(const std::string& path, RawImage& image);

// Writes `image` as a .kimg file, replacing `path` only once the whole file is written.
bool WriteImageFile(const std::string& path, const RawImage& image);

}  // namespace kyr::images
