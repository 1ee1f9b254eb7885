// Write Image against the simulated head: file choices and numbers, confirmations, the
// blocks on the wire, acknowledges, polls, and files refused before anything is sent.
#include <gtest/gtest.h>

#include "image_ops_rig.h"

namespace kyr::images::testing {
namespace {

using headsim::FaultKind;
using headsim::ImageKind;

constexpr int kBank = 0, kMemory = 1, kNg = 3;

// A 24-bit bitmap of `width` by `height` pixels, every pixel (blue, green, red).
Bytes Bitmap(int width, int height, std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
  Bytes bytes(54, 0);
  auto put32 = [&](std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
  };
  bytes[0] = 'B';
  bytes[1] = 'M';
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(width));
  put32(22, static_cast<std::uint32_t>(height));
  bytes[26] = 1;
  bytes[28] = 24;
  for (int i = 0; i < width * height; ++i) {
    bytes.insert(bytes.end(), {blue, green, red});
  }
  return bytes;
}

TEST(WriteImagesChoice, NamesNumbersAndTypesDecideBeforeTheLinkOpens) {
  TempFolder folder;
  WriteBytes(folder.File("bank.03.kimg"), PatternFile(3));
  WriteBytes(folder.File("bank.09.kimg"), PatternFile(9));
  WriteBytes(folder.File("bank.25.kimg"), PatternFile(25));
  WriteBytes(folder.File("bank.45.kimg"), PatternFile(45));
  WriteBytes(folder.File("photo.bmp"), Bitmap(256, 256, 0, 0, 0));
  WriteBytes(folder.File("short.07.kimg"), Bytes(1000, 0));
  struct Case {
    int type;
    std::vector<std::string> files;
    ToolText message;
  };
  const Case refused[] = {
      {kNg, {"bank.03.kimg"}, ToolText::kOnlyBankAndMemory},
      {kBank, {"bank.03.kimg", "photo.bmp"}, ToolText::kNameWithoutNumber},
      {kMemory, {"bank.03.kimg", "bank.25.kimg"}, ToolText::kNumberTooLarge},
      {kBank, {"photo.png"}, ToolText::kBadExtension},
      {kBank,
       {"bank.03.kimg", "short.07.kimg"},
       ToolText::kCannotOpenImage},  // refused before anything is sent
      {kBank, {"short.07.kimg"}, ToolText::kCannotOpenImage},
  };
  for (const Case& c : refused) {
    Rig rig;
    for (const auto& name : c.files) rig.host.open_files.push_back(folder.File(name));
    auto ctx = rig.Context(c.type);
    EXPECT_EQ(WriteImages(ctx), Outcome::kRefused) << TextName(c.message);
    EXPECT_EQ(rig.host.MessageIds(), std::vector<ToolText>{c.message});
    EXPECT_EQ(rig.host.messages.at(0).caption, "Error");
    EXPECT_EQ(rig.unit.opens(), 0) << TextName(c.message);
  }
  {
    // NG Save is refused before any dialog.
    Rig rig;
    auto ctx = rig.Context(kNg);
    static_cast<void>(WriteImages(ctx));
    EXPECT_TRUE(rig.host.calls.empty());
  }
  // One file: the number its name carries, lowered below the count, or the one used last.
  Rig rig;
  auto bank = rig.Context(kBank);
  auto memory = rig.Context(kMemory);
  rig.host.open_files = {folder.File("bank.45.kimg")};
  static_cast<void>(WriteImages(bank));  // question answered No
  rig.host.open_files = {folder.File("photo.bmp")};
  static_cast<void>(WriteImages(bank));
  rig.host.number_choice = 25;
  rig.host.open_files = {folder.File("bank.25.kimg")};
  static_cast<void>(WriteImages(bank));
  rig.host.number_choice.reset();
  rig.host.open_files = {folder.File("photo.bmp")};
  static_cast<void>(WriteImages(memory));
  rig.host.number_choice = 40;  // a dialog that answers out of range
  static_cast<void>(WriteImages(memory));
  EXPECT_EQ(rig.host.offered_numbers,
            (std::vector<std::pair<int, int>>{{32, 31}, {32, 31}, {32, 25}, {20, 19}, {20, 19}}));
  EXPECT_EQ(rig.state->write_number, 19);
  EXPECT_EQ(rig.host.MessageIds(),
            (std::vector<ToolText>{ToolText::kOverwriteImage, ToolText::kColoursChange,
                                   ToolText::kOverwriteImage, ToolText::kColoursChange,
                                   ToolText::kColoursChange}));
  EXPECT_EQ(rig.host.messages[0].caption, "Warning");
  EXPECT_EQ(rig.host.open_filters.size(), 4u);
  EXPECT_EQ(rig.unit.opens(), 0);
}

TEST(WriteImagesTransfer, SeveralFilesGoToTheNumbersInTheirNames) {
  Rig rig(2);
  WriteBytes(rig.File("bank.03.kimg"), PatternFile(3));
  WriteBytes(rig.File("bank.09.kimg"), PatternFile(9));
  rig.Head(1).poll_busy_answers = {15, 15, 15};
  rig.host.open_files = {rig.File("bank.03.kimg"), rig.File("bank.09.kimg")};
  rig.host.answers = {tool::Answer::Yes};
  auto ctx = rig.Context(kBank, 1);
  ASSERT_EQ(WriteImages(ctx), Outcome::kDone);
  EXPECT_EQ(rig.host.MessageIds(),
            (std::vector<ToolText>{ToolText::kOverwriteImage, ToolText::kImageWriteComplete}));
  EXPECT_EQ(rig.host.messages[1].text, "Complet to write the image.");
  EXPECT_EQ(rig.host.messages[1].caption, "Finish");
  EXPECT_TRUE(rig.host.offered_numbers.empty());
  EXPECT_TRUE(rig.Head(1).Image(ImageKind::kBank, 3) == PatternRaw(3));
  EXPECT_TRUE(rig.Head(1).Image(ImageKind::kBank, 9) == PatternRaw(9));
  EXPECT_FALSE(rig.Head(0).IsImageStored(ImageKind::kBank, 3));
  // The head is asked for even when it is not the first; 512 blocks per image; each image
  // polled four times (15 three times, then idle).
  EXPECT_EQ(rig.FramesStarting(0xFB).size(), 1u);
  const auto blocks = rig.FramesStarting(0x1D);
  ASSERT_EQ(blocks.size(), 1024u);
  EXPECT_EQ(blocks[512], (Bytes{0x1D, 0x00, 0x00, 16 + 18, 0x80, 0x00, 0x40}));
  EXPECT_EQ(rig.FramesStarting(0x29).size(), 8u);
  EXPECT_EQ(rig.host.shown_numbers, (std::vector<int>{3, 3, 9}));
  EXPECT_EQ(rig.host.calls, (std::vector<std::string>{"open dialog", "abort on", "commands off",
                                                      "abort off", "commands on"}));
  EXPECT_EQ(rig.engine().Stats().closes, 1);
}

TEST(WriteImagesTransfer, BitmapToMemoryImageAndItsFirstBlock) {
  Rig rig;
  WriteBytes(rig.File("white.bmp"), Bitmap(512, 256, 255, 255, 255));
  WriteBytes(rig.File("vga.bmp"), Bitmap(640, 480, 1, 2, 3));
  rig.host.open_files = {rig.File("white.bmp")};
  rig.host.number_choice = 2;
  rig.host.answers = {tool::Answer::Yes, tool::Answer::Yes};
  auto ctx = rig.Context(kMemory);
  ASSERT_EQ(WriteImages(ctx), Outcome::kDone);
  const auto& image = rig.Head().Image(ImageKind::kMemory, 2);
  EXPECT_TRUE(std::all_of(image.begin(), image.end(), [](std::uint16_t w) { return w == 0xFFFF; }));
  // The first frame after the head query: Memory image 2 is unit 84.
  const auto blocks = rig.FramesStarting(0x1C);
  ASSERT_FALSE(blocks.empty());
  EXPECT_EQ(blocks[0], (Bytes{0x1C, 0x00, 0x00, 0x54, 0x80, 0x00, 0x0F}));
  EXPECT_EQ(rig.FramesStarting(0x28).size(), 3u);  // the head's default: 15, 5, then idle

  // A 640 x 480 bitmap is refused after the confirmation, before any block.
  rig.frames.clear();
  rig.host.messages.clear();
  rig.host.open_files = {rig.File("vga.bmp")};
  EXPECT_EQ(WriteImages(ctx), Outcome::kRefused);
  EXPECT_EQ(rig.host.MessageIds(),
            (std::vector<ToolText>{ToolText::kColoursChange, ToolText::kBadBitmap}));
  EXPECT_TRUE(rig.FramesStarting(0x1C).empty());
  EXPECT_EQ(rig.host.calls.back(), "commands on");
}

TEST(WriteImagesTransfer, AcknowledgesAndPollsAreRetriedThenGiveUp) {
  TempFolder folder;
  WriteBytes(folder.File("m.04.kimg"), PatternFile(4));
  {
    // Four refusals of block 100 are sent again; the image arrives whole.
    Rig rig;
    rig.AddFault(FaultKind::kNak, 0x1C, 100, 4);
    rig.host.open_files = {folder.File("m.04.kimg")};
    rig.host.answers = {tool::Answer::Yes};
    auto ctx = rig.Context(kMemory);
    ASSERT_EQ(WriteImages(ctx), Outcome::kDone);
    EXPECT_EQ(rig.FramesStarting(0x1C).size(), 512u + 4u);
    EXPECT_TRUE(rig.Head().Image(ImageKind::kMemory, 4) == PatternRaw(4));
  }
  {
    // The fifth in a row: 147, no completion; the head is still told the transfer ended.
    Rig rig;
    rig.AddFault(FaultKind::kNak, 0x1C, 100, 5);
    rig.host.open_files = {folder.File("m.04.kimg")};
    rig.host.answers = {tool::Answer::Yes};
    auto ctx = rig.Context(kMemory);
    EXPECT_EQ(WriteImages(ctx), Outcome::kFailed);
    EXPECT_EQ(rig.host.MessageIds(),
              (std::vector<ToolText>{ToolText::kOverwriteImage, ToolText::kCommunicationError}));
    EXPECT_EQ(rig.FramesStarting(0x1C).size(), 100u + 5u);
    EXPECT_EQ(rig.engine().Stats().closes, 1);
    EXPECT_EQ(rig.host.calls.back(), "commands on");
  }
  {
    // Twenty bad poll replies in a row are asked again; the twenty-first gives up.
    Rig rig;
    rig.AddFault(FaultKind::kBadChecksum, 0x28, headsim::kAny, 20);
    rig.host.open_files = {folder.File("m.04.kimg")};
    rig.host.answers = {tool::Answer::Yes, tool::Answer::Yes};
    auto ctx = rig.Context(kMemory);
    ASSERT_EQ(WriteImages(ctx), Outcome::kDone);
    EXPECT_EQ(rig.FramesStarting(0x28).size(), 20u + 1u);  // the busy answers went by garbled
    rig.AddFault(FaultKind::kBadChecksum, 0x28, headsim::kAny, 21);
    EXPECT_EQ(WriteImages(ctx), Outcome::kFailed);
    EXPECT_EQ(rig.host.MessageIds().back(), ToolText::kCommunicationError);
  }
}

TEST(WriteImagesTransfer, AHeadStuckBusyGivesUpAfterAMinuteAndAbortStopsTheWait) {
  TempFolder folder;
  WriteBytes(folder.File("bank.03.kimg"), PatternFile(3));
  WriteBytes(folder.File("bank.09.kimg"), PatternFile(9));
  const std::vector<std::uint16_t> stuck(1000, 5);
  {
    // A second passes between polls: the sixtieth poll is the last, then 147 and the closing
    // frame, and the second file is not sent.
    Rig rig;
    rig.Head().poll_busy_answers = stuck;
    rig.host.on_event = [&rig] { rig.time.Advance(1'000'000); };
    rig.host.open_files = {folder.File("bank.03.kimg"), folder.File("bank.09.kimg")};
    rig.host.answers = {tool::Answer::Yes};
    auto ctx = rig.Context(kBank);
    EXPECT_EQ(WriteImages(ctx), Outcome::kFailed);
    EXPECT_EQ(rig.host.MessageIds(),
              (std::vector<ToolText>{ToolText::kOverwriteImage, ToolText::kCommunicationError}));
    EXPECT_EQ(rig.FramesStarting(0x28).size(), 60u);
    EXPECT_EQ(rig.FramesStarting(0x1C).size(), 512u);
    EXPECT_EQ(rig.engine().Stats().closes, 1);
    EXPECT_EQ(rig.host.calls.back(), "commands on");
  }
  {
    // Abort pressed while the head is busy: "aborted" after that poll, the link closed
    // normally, the second file not sent.
    Rig rig;
    rig.Head().poll_busy_answers = stuck;
    rig.host.abort_after_blocks = 3;
    rig.host.open_files = {folder.File("bank.03.kimg"), folder.File("bank.09.kimg")};
    rig.host.answers = {tool::Answer::Yes};
    auto ctx = rig.Context(kBank);
    EXPECT_EQ(WriteImages(ctx), Outcome::kAborted);
    EXPECT_EQ(rig.host.MessageIds(),
              (std::vector<ToolText>{ToolText::kOverwriteImage, ToolText::kAborted}));
    EXPECT_EQ(rig.host.messages[1].caption, "Error");
    EXPECT_EQ(rig.host.messages[1].text,
              "aborted\nNo image was written completely. Not finished: Bank No.3.");
    EXPECT_EQ(rig.FramesStarting(0x28).size(), 3u);
    EXPECT_EQ(rig.FramesStarting(0x1C).size(), 512u);
    EXPECT_EQ(rig.engine().Stats().closes, 1);
    EXPECT_EQ(rig.host.calls.back(), "commands on");
  }
}

}  // namespace
}  // namespace kyr::images::testing
