// Read Image against the simulated head: what each type offers, the transfer, its
// fall-back after a failed reply, abort and failures.
#include <gtest/gtest.h>

#include "image_ops_rig.h"

namespace kyr::images::testing {
namespace {

using headsim::FaultKind;
using headsim::ImageKind;
using test_common::Fault;

constexpr int kBank = 0, kMemory = 1, kShoot = 2, kNg = 3;

// Bank images registered exactly when `registered` has their bit.
void RegisterBanks(headsim::HeadMemory& head, std::uint32_t registered) {
  for (int bank = 0; bank < 32; ++bank) {
    head.settings[static_cast<std::size_t>(192 * bank + 5)] =
        ((registered >> bank) & 1) != 0 ? 0x7FFF : 0x8000;
  }
}

TEST(ReadImagesPresence, EachTypeOffersTheImagesTheHeadHolds) {
  {
    Rig rig;
    RegisterBanks(rig.Head(), (1u << 0) | (1u << 7) | (1u << 31));
    rig.host.cancel_selection = true;
    auto ctx = rig.Context(kBank);
    EXPECT_EQ(ReadImages(ctx), Outcome::kNotWanted);
    ASSERT_EQ(rig.host.offered_masks.size(), 1u);
    EXPECT_EQ(rig.host.offered_masks[0], (1ULL << 0) | (1ULL << 7) | (1ULL << 31));
    EXPECT_EQ(rig.host.offered_dialogs[0], 136);
    // 32 single-word reads of bank word 5, the first head not queried, closed properly.
    const auto reads = rig.FramesStarting(0x10);
    ASSERT_EQ(reads.size(), 32u);
    EXPECT_EQ(reads[7], (Bytes{0x10, 0x8A, 0x0A, 0x00, 0x01, 0x00, 0x5A}));
    EXPECT_TRUE(rig.FramesStarting(0xFB).empty());
    EXPECT_EQ(rig.engine().Stats().closes, 1);
    EXPECT_TRUE(rig.host.calls == std::vector<std::string>{"selection dialog"});
  }
  {
    Rig rig;
    rig.Head().settings[8138] = 0xFFFE;
    rig.Head().settings[8139] = 0xFFFF;
    rig.host.cancel_selection = true;
    auto ctx = rig.Context(kMemory);
    static_cast<void>(ReadImages(ctx));
    EXPECT_EQ(rig.host.offered_masks.at(0), 1u);
    rig.Head().settings[8139] = 0xFFF7;  // memory image 19
    static_cast<void>(ReadImages(ctx));
    EXPECT_EQ(rig.host.offered_masks.at(1), (1ULL << 0) | (1ULL << 19));
  }
  {
    // Shot not triggered (S3 = 0): common word 4 is read before the shot bank's word 10.
    Rig rig;
    rig.Head().shoot_status = {3, 0, 0, 0};
    rig.Head().settings[192 * 3 + 10] = 0x0003;
    rig.host.cancel_selection = true;
    auto ctx = rig.Context(kShoot);
    static_cast<void>(ReadImages(ctx));
    EXPECT_EQ(rig.host.offered_masks.at(0), 0xFu);
    EXPECT_EQ(rig.host.offered_dialogs.at(0), 138);
    const auto reads = rig.FramesStarting(0x10);
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[0][1] | reads[0][2] << 8, 0x3F88);
    EXPECT_EQ(reads[1][1] | reads[1][2] << 8, 384 * 3 + 20);
    // Triggered shot: straight to the bank word.
    rig.frames.clear();
    rig.Head().shoot_status = {3, 0, 0, 1};
    static_cast<void>(ReadImages(ctx));
    ASSERT_EQ(rig.FramesStarting(0x10).size(), 1u);
  }
  {
    // NG: ring position 0, two pictures: "No.0" is record 62, "No.1" record 61. Target head
    // "3" still reads from the first head without asking for it.
    Rig rig;
    rig.Head().SetNgImages(0, 2);
    rig.host.selection = 2;
    rig.host.save_name = rig.File("ng.kimg");
    auto ctx = rig.Context(kNg, 2);
    ASSERT_EQ(ReadImages(ctx), Outcome::kDone);
    EXPECT_EQ(rig.host.offered_masks.at(0), 3u);
    EXPECT_EQ(rig.state->ng_records[62].r3, 0x0100 | 63);
    EXPECT_TRUE(rig.FramesStarting(0xFB).empty());
    EXPECT_EQ(rig.FramesStarting(0xF9).size(), 15u);
    EXPECT_EQ(rig.FramesStarting(0xF9).back(), (Bytes{0xF9, 252, 0, 0, 18, 0, 0xF8}));
    // "No.1" is read from unit 4 without head bits and named after record 61.
    EXPECT_EQ(rig.FramesStarting(0xF8).at(0), (Bytes{0xF8, 0, 0, 4, 0x80, 31, 0x64}));
    const auto names = rig.temp.Names();
    ASSERT_EQ(names.size(), 1u);
    EXPECT_TRUE(names[0].ends_with("_1_62.kimg")) << names[0];
    EXPECT_EQ(ReadBytes(rig.File(names[0])), FileBytesOf(rig.Head().Image(ImageKind::kNg, 61)));
  }
}

TEST(ReadImagesPresence, RetriesAndFailuresOfTheQuestions) {
  {
    // Four wrong replies to one bank word are retried; the fifth in a row gives up.
    Rig rig;
    RegisterBanks(rig.Head(), 1u << 2);
    rig.AddFault(FaultKind::kBadChecksum, 0x10, (384 * 2 + 10) / 2, 4);
    rig.host.cancel_selection = true;
    auto ctx = rig.Context(kBank);
    static_cast<void>(ReadImages(ctx));
    EXPECT_EQ(rig.host.offered_masks.at(0), 1u << 2);
    EXPECT_TRUE(rig.host.MessageIds().empty());

    rig.AddFault(FaultKind::kShortReply, 0x10, (384 * 2 + 10) / 2, 5);
    EXPECT_EQ(ReadImages(ctx), Outcome::kFailed);
    EXPECT_EQ(rig.host.MessageIds(), std::vector<ToolText>{ToolText::kCommunicationError});
    EXPECT_EQ(rig.host.messages[0].caption, "Error");
    EXPECT_EQ(rig.host.offered_masks.size(), 1u);  // no dialog after a failure
    EXPECT_EQ(rig.engine().Stats().closes, 1);     // failed: no closing frame
  }
  {
    // A wrong reply to a later shoot step starts again at the status; wrong replies are
    // counted over the whole sequence, so a step that always fails ends in an error.
    Rig rig;
    rig.Head().shoot_status = {1, 0, 0, 1};
    rig.AddFault(FaultKind::kNak, 0x10, (384 + 20) / 2, 1);
    rig.host.cancel_selection = true;
    auto ctx = rig.Context(kShoot);
    static_cast<void>(ReadImages(ctx));
    EXPECT_EQ(rig.FramesStarting(0x28).size(), 2u);
    EXPECT_TRUE(rig.host.MessageIds().empty());
    rig.AddFault(FaultKind::kNak, 0x10, (384 + 20) / 2, -1);
    EXPECT_EQ(ReadImages(ctx), Outcome::kFailed);
    EXPECT_EQ(rig.host.MessageIds(), std::vector<ToolText>{ToolText::kCommunicationError});
  }
  {
    // One wrong NG piece is not retried.
    Rig rig;
    rig.AddFault(FaultKind::kBadChecksum, 0xF9, 3);
    auto ctx = rig.Context(kNg);
    EXPECT_EQ(ReadImages(ctx), Outcome::kFailed);
    EXPECT_EQ(rig.host.MessageIds(), std::vector<ToolText>{ToolText::kCommunicationError});
    EXPECT_EQ(rig.FramesStarting(0xF9).size(), 4u);
  }
  {
    // Head "2" asked for first; absent: 168, nothing else sent.
    Rig rig(1);
    auto ctx = rig.Context(kBank, 1);
    EXPECT_EQ(ReadImages(ctx), Outcome::kFailed);
    EXPECT_EQ(rig.host.MessageIds(), std::vector<ToolText>{ToolText::kHeadAbsent});
    EXPECT_TRUE(rig.FramesStarting(0x11).empty());
    // No head unit at all: the link's open failure, no caption of its own.
    rig.unit.Unplug();
    rig.host.messages.clear();
    auto first = rig.Context(kBank);
    EXPECT_EQ(ReadImages(first), Outcome::kFailed);
    ASSERT_EQ(rig.host.messages.size(), 1u);
    EXPECT_EQ(rig.host.messages[0].caption, "");
  }
}

TEST(ReadImagesTransfer, ChosenImagesLandInNumberedFilesWithOneQuestion) {
  Rig rig(2);
  RegisterBanks(rig.Head(1), 0);
  rig.host.selection = (1ULL << 1) | (1ULL << 4);
  rig.host.save_name = rig.File("bank");  // ".kimg" is appended
  WriteBytes(rig.File("bank.01.kimg"), Bytes(10, 0));
  WriteBytes(rig.File("bank.04.kimg"), Bytes(10, 0));
  rig.host.answers = {tool::Answer::Yes};
  auto ctx = rig.Context(kBank, 1);
  ASSERT_EQ(ReadImages(ctx), Outcome::kDone);

  EXPECT_EQ(rig.host.MessageIds(),
            (std::vector<ToolText>{ToolText::kFileExists, ToolText::kImageReadComplete}));
  EXPECT_EQ(rig.host.messages[1].caption, "Finish");
  EXPECT_EQ(ReadBytes(rig.File("bank.01.kimg")),
            FileBytesOf(rig.Head(1).Image(ImageKind::kBank, 1)));
  EXPECT_EQ(ReadBytes(rig.File("bank.04.kimg")),
            FileBytesOf(rig.Head(1).Image(ImageKind::kBank, 4)));
  EXPECT_EQ(rig.temp.Names(), (std::vector<std::string>{"bank.01.kimg", "bank.04.kimg"}));
  // 16 requests of 32 blocks per image, to head 2 (code 0x19); image 4 at unit 24.
  const auto requests = rig.FramesStarting(0x19);
  ASSERT_EQ(requests.size(), 32u);
  EXPECT_EQ(requests[16], (Bytes{0x19, 0x00, 0x00, 24, 0x80, 31, 0x2F}));
  EXPECT_EQ(rig.host.paints, 2);
  EXPECT_EQ(rig.host.blocks, 1024);
  // The image number shows 0 to 31 during the check, then each image read.
  ASSERT_EQ(rig.host.shown_numbers.size(), 2u + 2u);
  EXPECT_EQ(rig.host.calls, (std::vector<std::string>{"selection dialog", "save dialog", "abort on",
                                                      "commands off", "abort off", "commands on"}));
  // The canvas shows the last image read.
  RawImage last;
  Canvas expected;
  ASSERT_EQ(LoadImageFile(rig.File("bank.04.kimg"), last, expected), ImageFileResult::kOk);
  EXPECT_TRUE(rig.state->canvas.bytes == expected.bytes);

  // Declining the question reads nothing; unchecking every box reads nothing either but
  // still completes.
  rig.host.messages.clear();
  rig.host.answers = {tool::Answer::No};
  rig.frames.clear();
  static_cast<void>(ReadImages(ctx));
  EXPECT_EQ(rig.host.MessageIds(), std::vector<ToolText>{ToolText::kFileExists});
  EXPECT_TRUE(rig.FramesStarting(0x19).empty());
  rig.host.messages.clear();
  rig.host.selection = 0;
  EXPECT_EQ(ReadImages(ctx), Outcome::kDone);
  EXPECT_EQ(rig.host.MessageIds(), std::vector<ToolText>{ToolText::kImageReadComplete});
}

TEST(ReadImagesTransfer, FailedReplyFallsBackToOneBlockPerRequest) {
  Rig rig;
  rig.host.selection = 1;
  rig.host.save_name = rig.File("m.kimg");
  // Block 40 of memory image 0 comes back garbled, in the middle of the second request.
  rig.AddFault(FaultKind::kShortReply, 0x18, 40);
  auto ctx = rig.Context(kMemory);
  ASSERT_EQ(ReadImages(ctx), Outcome::kDone);
  EXPECT_EQ(ReadBytes(rig.File("m.00.kimg")), FileBytesOf(rig.Head().Image(ImageKind::kMemory, 0)));
  const auto requests = rig.FramesStarting(0x18);
  // Two requests of 32, then blocks 32 to 511 one by one.
  ASSERT_EQ(requests.size(), 2u + 480u);
  EXPECT_EQ(requests[1][5], 31);
  EXPECT_EQ(requests[2], (Bytes{0x18, 0x00, 32, 80, 0x80, 0, 0xF7}));
  EXPECT_EQ(requests.back()[5], 0);
  EXPECT_EQ(rig.host.MessageIds(), std::vector<ToolText>{ToolText::kImageReadComplete});
}

TEST(ReadImagesTransfer, AbortAndFailureLeaveOnlyWholeFiles) {
  {
    Rig rig;
    rig.Head().shoot_status = {0, 0, 0, 1};
    rig.Head().settings[10] = 5;  // six taken pictures
    rig.host.save_name = rig.File("s.kimg");
    rig.host.abort_after_blocks = 512 + 100;
    auto ctx = rig.Context(kShoot);
    EXPECT_EQ(ReadImages(ctx), Outcome::kAborted);
    EXPECT_EQ(rig.host.MessageIds(), std::vector<ToolText>{ToolText::kAborted});
    // The box names what the abort kept: image 0 whole, image 1 not saved.
    EXPECT_EQ(rig.host.messages[0].text,
              "aborted\nKept: Shoot No.0. The image being read was not saved.");
    EXPECT_EQ(rig.host.messages[0].caption, "Error");
    EXPECT_EQ(rig.temp.Names(), std::vector<std::string>{"s.00.kimg"});
    EXPECT_EQ(ReadBytes(rig.File("s.00.kimg")),
              FileBytesOf(rig.Head().Image(ImageKind::kShoot, 0)));
    // Taken images come one block per request, word-addressed: block 1 of image 1.
    EXPECT_EQ(rig.FramesStarting(0x20).at(513), (Bytes{0x20, 0x80, 0x00, 2, 0x80, 0, 0xDD}));
    EXPECT_EQ(rig.host.calls.back(), "commands on");
    EXPECT_EQ(rig.engine().Stats().closes, 2);  // an abort is no failure
  }
  {
    // Image 1 stops answering half-way: five wrong replies in a row end the command.
    Rig rig;
    RegisterBanks(rig.Head(), 0b11);
    rig.host.save_name = rig.File("b.kimg");
    headsim::FaultRule rule = Fault(FaultKind::kMissingReply, 0x18, 300, -1);
    rule.skip = 1;  // image 0 goes through
    rig.Faults().Add(rule);
    auto ctx = rig.Context(kBank);
    EXPECT_EQ(ReadImages(ctx), Outcome::kFailed);
    EXPECT_EQ(rig.host.MessageIds(), std::vector<ToolText>{ToolText::kCommunicationError});
    EXPECT_EQ(rig.temp.Names(), std::vector<std::string>{"b.00.kimg"});
    EXPECT_EQ(rig.engine().Stats().closes, 2);  // the transfer closes even after a failure
  }
  {
    // A folder that cannot take the file: 142, no completion.
    Rig rig;
    RegisterBanks(rig.Head(), 1);
    rig.host.save_name = rig.File("missing/b.kimg");
    auto ctx = rig.Context(kBank);
    EXPECT_EQ(ReadImages(ctx), Outcome::kFailed);
    EXPECT_EQ(rig.host.MessageIds(), std::vector<ToolText>{ToolText::kCannotCreate});
    EXPECT_TRUE(rig.FramesStarting(0x18).empty());  // found out before any block is asked
  }
  {
    // An image file name that is a link to nothing: said so, and nothing is asked either.
    Rig rig;
    RegisterBanks(rig.Head(), 1);
    std::filesystem::create_symlink(rig.File("gone.kimg"), rig.File("b.00.kimg"));
    rig.host.save_name = rig.File("b.kimg");
    rig.host.answers = {tool::Answer::Yes};
    auto ctx = rig.Context(kBank);
    EXPECT_EQ(ReadImages(ctx), Outcome::kFailed);
    EXPECT_EQ(rig.host.MessageIds().back(), ToolText::kDanglingLink);
    EXPECT_TRUE(rig.FramesStarting(0x18).empty());
  }
}

}  // namespace
}  // namespace kyr::images::testing
