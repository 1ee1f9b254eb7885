#include <gtest/gtest.h>
#include <sys/stat.h>

#include "image_test_util.h"
#include "images/canvas.h"
#include "images/raw_image.h"

namespace kyr::images {
namespace {

using testing::Bytes;

// True when every pixel of rows [row0, row1) and columns [col0, col1) equals `pixel`.
bool AreaIs(const Canvas& canvas, int row0, int row1, int col0, int col1, Pixel pixel) {
  for (int y = row0; y < row1; ++y) {
    for (int x = col0; x < col1; ++x) {
      if (!(canvas.At(y, x) == pixel) || canvas.bytes[canvas.Offset(y, x) + 3] != 0) return false;
    }
  }
  return true;
}

TEST(ImageFile, WordsAreRowMajorLowByteFirstAndOnlyWholeImagesAreAccepted) {
  Bytes bytes(kImageFileBytes, 0);
  bytes[0] = 0x34;  // word 0: row 0, column 0
  bytes[1] = 0x12;
  bytes[2 * 257] = 0xCD;  // word 257: row 1, column 1
  bytes[2 * 257 + 1] = 0xAB;
  bytes[kImageFileBytes - 1] = 0x80;  // high byte of row 255, column 255
  auto image = testing::NewImage();
  ASSERT_EQ(ParseImageFile(bytes, *image), ImageFileResult::kOk);
  EXPECT_EQ(image->Cell(0, 0), 0x1234);
  EXPECT_EQ(image->Cell(1, 1), 0xABCD);
  EXPECT_EQ(image->Cell(255, 255), 0x8000);

  std::vector<std::uint8_t> encoded(kImageFileBytes);
  EncodeImageFile(*image, std::span<std::uint8_t, kImageFileBytes>(encoded.data(), encoded.size()));
  EXPECT_EQ(encoded, bytes);

  // One byte short or long is not an image; the parser leaves the image alone.
  const std::uint16_t before = image->Cell(0, 0);
  EXPECT_EQ(ParseImageFile(std::span(bytes).first(kImageFileBytes - 1), *image),
            ImageFileResult::kNotOneImage);
  bytes.push_back(0);
  EXPECT_EQ(ParseImageFile(bytes, *image), ImageFileResult::kNotOneImage);
  EXPECT_EQ(image->Cell(0, 0), before);
}

TEST(ImageFile, FilesOfAnyOtherSizeAreRefusedAndWrittenFilesReadBack) {
  testing::TempFolder folder;
  auto image = testing::NewImage();
  for (std::size_t i = 0; i < kRawWords; ++i) image->words[i] = static_cast<std::uint16_t>(i * 7);
  const std::string path = folder.File("round.kimg");
  ASSERT_TRUE(WriteImageFile(path, *image));
  EXPECT_EQ(std::filesystem::file_size(path), kImageFileBytes);
  auto back = testing::NewImage();
  EXPECT_EQ(ReadImageFile(path, *back), ImageFileResult::kOk);
  EXPECT_EQ(back->words, image->words);

  // Missing, or no regular file (a FIFO nobody writes, a folder): refused without waiting.
  ::mkfifo(folder.File("fifo.kimg").c_str(), 0600);
  for (const char* name : {"missing.kimg", "fifo.kimg", ""})
    EXPECT_EQ(ReadImageFile(folder.File(name), *back), ImageFileResult::kCannotOpen) << name;
  for (const std::size_t size : {std::size_t{0}, std::size_t{1}, kImageFileBytes - 1,
                                 kImageFileBytes + 1, 2 * kImageFileBytes}) {
    testing::WriteBytes(path, Bytes(size, 0x11));
    EXPECT_EQ(ReadImageFile(path, *back), ImageFileResult::kNotOneImage) << size << " bytes";
  }
  // Writing into a folder that does not exist fails and creates nothing.
  EXPECT_FALSE(WriteImageFile(folder.File("no/such.kimg"), *image));
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "no"));
}

TEST(CanvasConversion, UniformImagesAndBlackMargins) {
  auto image = testing::NewImage();
  auto canvas = testing::NewCanvas();
  RawImageToCanvas(*image, *canvas);
  EXPECT_TRUE(AreaIs(*canvas, 0, kCanvasHeight, 0, kCanvasWidth, {0, 0, 0}));

  image->words.fill(0x8080);  // every sample 128: 7 * 256 - 4 * 256 = 768, shifted to 96
  canvas->bytes.fill(0xEE);   // leftovers of an earlier picture must go
  RawImageToCanvas(*image, *canvas);
  EXPECT_TRUE(AreaIs(*canvas, 0, 256, 0, 256, {96, 96, 96}));
  EXPECT_TRUE(AreaIs(*canvas, 0, kCanvasHeight, 256, kCanvasWidth, {0, 0, 0}));
  EXPECT_TRUE(AreaIs(*canvas, 256, kCanvasHeight, 0, 256, {0, 0, 0}));
  EXPECT_TRUE(std::all_of(canvas->bytes.begin() + kCanvasBytes, canvas->bytes.end(),
                          [](std::uint8_t b) { return b == 0; }));
}

TEST(CanvasConversion, SamplesPairEvenAndOddRowsAndClamp) {
  auto image = testing::NewImage();
  auto canvas = testing::NewCanvas();
  // a = c = 255, b = d = 0: blue 3570 clamps to 255, green 765 >> 3 = 95, red negative 0.
  image->Cell(0, 0) = 0xFF00;
  image->Cell(1, 0) = 0xFF00;
  // Column 1: the even row's cell gives a, b and the odd row's c, d, whichever is on top.
  // Rows 0/1 (even on top) and rows 1/2 (odd on top) must give the same colour here.
  image->Cell(0, 1) = 0x1020;  // even: a = 16, b = 32
  image->Cell(1, 1) = 0x4000;  // odd:  c = 64, d = 0
  image->Cell(2, 1) = 0x1020;
  RawImageToCanvas(*image, *canvas);
  EXPECT_EQ(canvas->At(0, 0), (Pixel{255, 95, 0}));
  // blue 7*80 - 4*32 = 432 -> 54; green 7*16 - 4*96 < 0 -> 0; red 7*32 - 4*80 < 0 -> 0.
  EXPECT_EQ(canvas->At(0, 1), (Pixel{54, 0, 0}));
  EXPECT_EQ(canvas->At(1, 1), (Pixel{54, 0, 0}));
  // The odd row's sample moved to its low byte: d now feeds green and red.
  image->Cell(1, 1) = 0x0040;  // odd: c = 0, d = 64
  RawImageToCanvas(*image, *canvas);
  // blue 7*16 - 4*96 < 0; green 7*80 - 4*32 = 432 -> 54; red 7*96 - 4*16 = 608 -> 76.
  EXPECT_EQ(canvas->At(0, 1), (Pixel{0, 54, 76}));
  EXPECT_EQ(canvas->At(1, 1), (Pixel{0, 54, 76}));
}

TEST(CanvasConversion, LastRowPairsWithTheRowAboveIt) {
  auto image = testing::NewImage();
  auto canvas = testing::NewCanvas();
  for (int x = 0; x < kRawColumns; ++x) {
    image->Cell(253, x) = 0x0000;
    image->Cell(254, x) = static_cast<std::uint16_t>(x * 0x0101);
    image->Cell(255, x) = static_cast<std::uint16_t>((255 - x) << 8 | 17);
  }
  RawImageToCanvas(*image, *canvas);
  bool identical = true;
  for (int x = 0; x < kRawColumns; ++x) identical &= canvas->At(254, x) == canvas->At(255, x);
  EXPECT_TRUE(identical);
  EXPECT_FALSE(canvas->At(253, 3) == canvas->At(254, 3));
  EXPECT_TRUE(AreaIs(*canvas, 256, 257, 0, kCanvasWidth, {0, 0, 0}));
}

TEST(CanvasConversion, LoadImageFileClearsTheCanvasEvenWhenItRefuses) {
  testing::TempFolder folder;
  auto image = testing::NewImage();
  auto canvas = testing::NewCanvas();
  const std::string path = folder.File("grey.kimg");
  testing::WriteBytes(path, Bytes(kImageFileBytes, 0x80));
  ASSERT_EQ(LoadImageFile(path, *image, *canvas), ImageFileResult::kOk);
  EXPECT_TRUE(AreaIs(*canvas, 0, 256, 0, 256, {96, 96, 96}));

  canvas->bytes.fill(0x55);
  EXPECT_EQ(LoadImageFile(folder.File("absent.kimg"), *image, *canvas),
            ImageFileResult::kCannotOpen);
  EXPECT_TRUE(AreaIs(*canvas, 0, kCanvasHeight, 0, kCanvasWidth, {0, 0, 0}));

  // A truncated file is not shown as a partly black picture: it is refused.
  testing::WriteBytes(path, Bytes(kImageFileBytes / 2, 0x80));
  canvas->bytes.fill(0x55);
  EXPECT_EQ(LoadImageFile(path, *image, *canvas), ImageFileResult::kNotOneImage);
  EXPECT_TRUE(AreaIs(*canvas, 0, kCanvasHeight, 0, kCanvasWidth, {0, 0, 0}));
}

}  // namespace
}  // namespace kyr::images
