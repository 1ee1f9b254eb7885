#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "image_test_util.h"
#include "images/bitmap.h"
#include "images/ops/save_bitmap.h"

namespace kyr::images {
namespace {

using testing::Bytes;

std::uint32_t Le32(const Bytes& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

// A 24-bit bitmap file of `width` x `height` (negative: top-down) whose every pixel is
// `pixel`; `bits` overrides the bits per pixel, `drop` removes bytes from the end.
Bytes MakeBitmap(int width, int height, Pixel pixel, int bits = 24, std::size_t drop = 0) {
  const std::size_t rows = static_cast<std::size_t>(height < 0 ? -height : height);
  Bytes file(54 + rows * static_cast<std::size_t>(width) * 3 - drop, 0);
  file[0] = 'B';
  file[1] = 'M';
  std::memcpy(&file[18], &width, 4);
  std::memcpy(&file[22], &height, 4);
  file[26] = 1;
  file[28] = static_cast<std::uint8_t>(bits);
  for (std::size_t i = 54; i + 2 < file.size(); i += 3) {
    file[i] = pixel.blue;
    file[i + 1] = pixel.green;
    file[i + 2] = pixel.red;
  }
  return file;
}

void SetPixel(Bytes& file, int width, int file_row, int x, Pixel p) {
  const std::size_t at = 54 + (static_cast<std::size_t>(file_row) * width + x) * 3;
  file[at] = p.blue;
  file[at + 1] = p.green;
  file[at + 2] = p.red;
}

bool AllCellsAre(const RawImage& image, std::uint16_t value) {
  return std::all_of(image.words.begin(), image.words.end(),
                     [value](std::uint16_t w) { return w == value; });
}

TEST(CanvasBitmap, FreshCanvasSavesAsTheBlackBitmapOfTheFixedHeader) {
  testing::TempFolder folder;
  auto canvas = testing::NewCanvas();
  const std::string path = folder.File("black.bmp");
  ASSERT_TRUE(WriteCanvasBitmap(path, *canvas));
  const Bytes file = testing::ReadBytes(path);
  ASSERT_EQ(file.size(), 391734u);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  const std::pair<std::size_t, std::uint32_t> fields[] = {
      {2, 391734}, {6, 0},       {10, 54}, {14, 40}, {18, 480}, {22, 272}, {26, 1 | 24 << 16},
      {30, 0},     {34, 391680}, {38, 0},  {42, 0},  {46, 0},   {50, 0}};
  for (const auto& [offset, value] : fields) EXPECT_EQ(Le32(file, offset), value) << offset;
  EXPECT_TRUE(std::all_of(file.begin() + 54, file.end(), [](std::uint8_t b) { return b == 0; }));
}

TEST(CanvasBitmap, RowsAreStoredBottomUpAsBlueGreenRed) {
  auto canvas = testing::NewCanvas();
  auto put = [&](int row, int column, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
    const std::size_t at = canvas->Offset(row, column);
    canvas->bytes[at] = b;
    canvas->bytes[at + 1] = g;
    canvas->bytes[at + 2] = r;
    canvas->bytes[at + 3] = 0;
  };
  put(0, 0, 1, 2, 3);      // top-left: last row of the file
  put(271, 479, 4, 5, 6);  // bottom-right: end of the first row of the file
  put(270, 1, 7, 8, 9);    // second row of the file, second pixel
  Bytes file(kCanvasBitmapBytes);
  EncodeCanvasBitmap(*canvas,
                     std::span<std::uint8_t, kCanvasBitmapBytes>(file.data(), file.size()));
  const std::size_t row_bytes = 1440;
  EXPECT_EQ((Bytes(file.begin() + 54 + 271 * row_bytes, file.begin() + 54 + 271 * row_bytes + 3)),
            (Bytes{1, 2, 3}));
  EXPECT_EQ((Bytes(file.begin() + 54 + row_bytes - 3, file.begin() + 54 + row_bytes)),
            (Bytes{4, 5, 6}));
  EXPECT_EQ((Bytes(file.begin() + 54 + row_bytes + 3, file.begin() + 54 + row_bytes + 6)),
            (Bytes{7, 8, 9}));
}

TEST(SaveBitmapCommand, ExtensionOverwriteQuestionAndCreateFailure) {
  testing::TempFolder folder;
  auto canvas = testing::NewCanvas();
  testing::ScriptedHost host;

  host.save_name = std::nullopt;  // cancelled: nothing asked, nothing written
  EXPECT_EQ(SaveCanvasBitmap(host, *canvas), Outcome::kNotWanted);
  ASSERT_EQ(host.save_filters.size(), 1u);
  EXPECT_EQ(host.save_filters[0].front().pattern, "*.bmp");
  EXPECT_TRUE(host.messages.empty());

  // The extension test is exact: an upper-case one still gets ".bmp" appended.
  host.save_name = folder.File("shot.BMP");
  EXPECT_EQ(SaveCanvasBitmap(host, *canvas), Outcome::kDone);
  EXPECT_TRUE(std::filesystem::exists(folder.File("shot.BMP.bmp")));
  EXPECT_FALSE(std::filesystem::exists(folder.File("shot.BMP")));
  EXPECT_TRUE(host.messages.empty());  // no completion message

  // Existing file: the answer No keeps it untouched, Yes replaces it.
  const std::string path = folder.File("keep.bmp");
  testing::WriteBytes(path, Bytes{1, 2, 3});
  host.save_name = path;
  host.answers = {userport::Answer::No, userport::Answer::Yes};
  EXPECT_EQ(SaveCanvasBitmap(host, *canvas), Outcome::kNotWanted);
  EXPECT_EQ(testing::ReadBytes(path), (Bytes{1, 2, 3}));
  EXPECT_EQ(SaveCanvasBitmap(host, *canvas), Outcome::kDone);
  EXPECT_EQ(std::filesystem::file_size(path), kCanvasBitmapBytes);
  ASSERT_EQ(host.MessageIds(),
            (std::vector<ToolText>{ToolText::kBitmapExists, ToolText::kBitmapExists}));
  EXPECT_EQ(host.messages[0].caption, "Warning");
  EXPECT_EQ(host.messages[0].buttons, userport::Buttons::YesNo);
  EXPECT_EQ(host.messages[0].icon, userport::Icon::Exclamation);
  EXPECT_EQ(host.messages[0].text, "Bitmap file already exists. Overwrite?");

  // Nothing else was left in the folder (no temporary files of the writes).
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                          std::filesystem::directory_iterator()),
            2);

  host.messages.clear();
  EXPECT_EQ(SaveCanvasBitmapAs(host, *canvas, folder.File("no/such/dir/x.bmp")), Outcome::kFailed);
  ASSERT_EQ(host.MessageIds(), (std::vector<ToolText>{ToolText::kCannotCreate}));
  EXPECT_EQ(host.messages[0].caption, "Error");
  EXPECT_EQ(host.messages[0].icon, userport::Icon::Error);
}

TEST(BitmapToRaw, OnlyComplete24BitBitmapsOf256Or512By256AreAccepted) {
  auto image = testing::NewImage();
  EXPECT_EQ(BitmapToRawImage(MakeBitmap(256, 256, {}), *image), ImageFileResult::kOk);
  EXPECT_EQ(BitmapToRawImage(MakeBitmap(512, 256, {}), *image), ImageFileResult::kOk);
  const struct {
    const char* what;
    Bytes file;
  } refused[] = {
      {"32 bits per pixel", MakeBitmap(256, 256, {}, 32)},
      {"512 by 512", MakeBitmap(512, 512, {})},
      {"top-down", MakeBitmap(256, -256, {})},
      {"640 by 480", MakeBitmap(640, 480, {})},
      {"128 wide", MakeBitmap(128, 256, {})},
      {"one pixel byte short", MakeBitmap(256, 256, {}, 24, 1)},
      {"header only", MakeBitmap(512, 256, {}, 24, 512 * 256 * 3)},
      {"shorter than a header", Bytes{'B', 'M', 0, 0}},
  };
  for (const auto& [what, file] : refused) {
    EXPECT_EQ(BitmapToRawImage(file, *image), ImageFileResult::kBitmapRejected) << what;
  }
  Bytes not_bm = MakeBitmap(256, 256, {});
  not_bm[1] = 'A';
  EXPECT_EQ(BitmapToRawImage(not_bm, *image), ImageFileResult::kBitmapRejected);
  // Bytes outside the tested ones (compression, pixel offset, upper width bytes) are ignored.
  Bytes odd_fields = MakeBitmap(256, 256, {});
  odd_fields[30] = 3;
  odd_fields[10] = 99;
  odd_fields[20] = 7;
  EXPECT_EQ(BitmapToRawImage(odd_fields, *image), ImageFileResult::kOk);
}

TEST(BitmapToRaw, BlackAndWhiteFillEveryCell) {
  auto image = testing::NewImage();
  image->words.fill(0x1234);
  ASSERT_EQ(BitmapToRawImage(MakeBitmap(256, 256, {0, 0, 0}), *image), ImageFileResult::kOk);
  EXPECT_TRUE(AllCellsAre(*image, 0x0000));
  ASSERT_EQ(BitmapToRawImage(MakeBitmap(512, 256, {255, 255, 255}), *image), ImageFileResult::kOk);
  EXPECT_TRUE(AllCellsAre(*image, 0xFFFF));
}

TEST(BitmapToRaw, SumsPerRowParityCompressionAndBottomUpRows) {
  auto image = testing::NewImage();
  Bytes file = MakeBitmap(256, 256, {});
  // First file row is raw row 255 (odd), the last one raw row 0 (even).
  SetPixel(file, 256, 255, 0, {200, 0, 0});  // raw row 0: blue only
  SetPixel(file, 256, 255, 1, {0, 0, 200});  // raw row 0: red only
  SetPixel(file, 256, 0, 0, {200, 0, 0});    // raw row 255
  SetPixel(file, 256, 0, 1, {0, 0, 200});
  // Green alone gives 3G in s0: 255 / 256 / 510 / 513 straddle the compression steps.
  SetPixel(file, 256, 255, 2, {0, 85, 0});
  SetPixel(file, 256, 255, 3, {0, 86, 0});
  SetPixel(file, 256, 255, 4, {0, 170, 0});
  SetPixel(file, 256, 255, 5, {0, 171, 0});
  ASSERT_EQ(BitmapToRawImage(file, *image), ImageFileResult::kOk);
  // Even row: high = packed(B + 3G), low = packed(B + 2R + G).
  EXPECT_EQ(image->Cell(0, 0), 0x6464);  // 200 -> 100 and 100
  EXPECT_EQ(image->Cell(0, 1), 0x00A4);  // 0 -> 0; 400 -> 100 + 64
  // Odd row: high = packed(2B + R + G), low = packed(R + 3G).
  EXPECT_EQ(image->Cell(255, 0), 0xA400);
  EXPECT_EQ(image->Cell(255, 1), 0x6464);
  EXPECT_EQ(image->Cell(0, 2), 127 << 8 | 42);
  EXPECT_EQ(image->Cell(0, 3), 128 << 8 | 43);
  EXPECT_EQ(image->Cell(0, 4), 191 << 8 | 85);
  EXPECT_EQ(image->Cell(0, 5), 192 << 8 | 85);
  EXPECT_EQ(image->Cell(1, 0), 0x0000);
}

TEST(BitmapToRaw, WideRowsAverageNeighbourPairsAndFileReaderAgrees) {
  testing::TempFolder folder;
  Bytes file = MakeBitmap(512, 256, {});
  SetPixel(file, 512, 255, 0, {255, 255, 255});  // averages with black: 127 each
  SetPixel(file, 512, 255, 2, {201, 0, 0});      // (201 + 0) >> 1 = 100 blue
  SetPixel(file, 512, 255, 511, {0, 0, 200});    // last cell: red 100
  for (int x = 0; x < 512; ++x) SetPixel(file, 512, 100, x, {static_cast<std::uint8_t>(x), 9, 3});
  auto image = testing::NewImage();
  ASSERT_EQ(BitmapToRawImage(file, *image), ImageFileResult::kOk);
  EXPECT_EQ(image->Cell(0, 0), 0xBFBF);    // 127 + 381 = 508 -> 191 both
  EXPECT_EQ(image->Cell(0, 1), 0x3232);    // 100 -> 50 both
  EXPECT_EQ(image->Cell(0, 255), 0x0064);  // red 100: s0 0, s1 200 -> 100

  const std::string path = folder.File("wide.bmp");
  testing::WriteBytes(path, file);
  auto from_file = testing::NewImage();
  EXPECT_EQ(ReadBitmapFile(path, *from_file), ImageFileResult::kOk);
  EXPECT_EQ(from_file->words, image->words);

  testing::WriteBytes(path, MakeBitmap(512, 256, {}, 24, 3));
  EXPECT_EQ(ReadBitmapFile(path, *from_file), ImageFileResult::kBitmapRejected);
  testing::WriteBytes(path, MakeBitmap(256, 256, {}, 32));
  EXPECT_EQ(ReadBitmapFile(path, *from_file), ImageFileResult::kBitmapRejected);
  EXPECT_EQ(ReadBitmapFile(folder.File("absent.bmp"), *from_file), ImageFileResult::kCannotOpen);
  ::mkfifo(folder.File("fifo.bmp").c_str(), 0600);
  EXPECT_EQ(ReadBitmapFile(folder.File("fifo.bmp"), *from_file), ImageFileResult::kCannotOpen);
}

}  // namespace
}  // namespace kyr::images
