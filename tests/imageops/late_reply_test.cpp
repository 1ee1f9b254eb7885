// Answers that come after the tool gave up on them must not be taken for the answers to the
// requests that follow.
#include <gtest/gtest.h>

#include "image_ops_rig.h"

namespace kyr::images::testing {
namespace {

using headsim::FaultKind;
using headsim::ImageKind;

constexpr int kMemory = 1;

TEST(LateImageReplies, RepliesHeldBackInsideARequestAreNotTakenForOtherBlocks) {
  // Block 40 of the second request answers 1.4 s late, block 35 before it garbled; the
  // held-back answers 40 to 63 must not become blocks 32 onwards.
  for (bool garbled_before : {false, true}) {
    SCOPED_TRACE(garbled_before);
    Rig rig;
    rig.host.selection = 1;
    rig.host.save_name = rig.File("m.kimg");
    rig.AddFault(FaultKind::kLateReply, 0x18, 40, 1, 1400);
    if (garbled_before) rig.AddFault(FaultKind::kBadChecksum, 0x18, 35);
    auto ctx = rig.Context(kMemory);
    ASSERT_EQ(ReadImages(ctx), Outcome::kDone);
    EXPECT_TRUE(ReadBytes(rig.File("m.00.kimg")) ==
                FileBytesOf(rig.Head().Image(ImageKind::kMemory, 0)));
  }
}

TEST(LateImageReplies, ALateAcknowledgeDoesNotHideTheRefusalOfTheNextBlock) {
  Rig rig;
  const Bytes file = PatternFile(77);
  WriteBytes(rig.File("w.kimg"), file);
  rig.host.open_files = {rig.File("w.kimg")};
  rig.host.number_choice = 0;
  rig.host.answers = {tool::Answer::Yes};
  rig.AddFault(FaultKind::kLateReply, 0x1C, 38, 1, 1400);
  rig.AddFault(FaultKind::kNak, 0x1C, 39);
  auto ctx = rig.Context(kMemory);
  ASSERT_EQ(WriteImages(ctx), Outcome::kDone);
  EXPECT_TRUE(FileBytesOf(rig.Head().Image(ImageKind::kMemory, 0)) == file);
}

// Replies out of step with the requests: late past the time-out, sent twice, followed by
// noise, cut in two by a pause. Read requests ask for 32 blocks; `block` is the one spoiled.
struct OutOfStepCase {
  FaultKind kind;
  int block;
  std::int64_t delay_ms;
};
constexpr OutOfStepCase kOutOfStepCases[] = {
    {FaultKind::kLateReply, 31, 700},    {FaultKind::kDuplicateReply, 0, 0},
    {FaultKind::kDuplicateReply, 63, 2}, {FaultKind::kDuplicateReply, 511, 200},
    {FaultKind::kStrayBytes, 200, 0},    {FaultKind::kStrayBytes, 511, 30},
    {FaultKind::kSplitReply, 100, 900},  {FaultKind::kSplitReply, 101, 50},
};

TEST(OutOfStepImageReplies, ReadsEndWithTheHeadsImageOrWithoutAFile) {
  for (const OutOfStepCase& c : kOutOfStepCases) {
    SCOPED_TRACE(::testing::Message()
                 << static_cast<int>(c.kind) << " block " << c.block << " delay " << c.delay_ms);
    Rig rig;
    rig.host.selection = 1;
    rig.host.save_name = rig.File("m.kimg");
    rig.AddFault(c.kind, 0x18, c.block, 1, c.delay_ms);
    auto ctx = rig.Context(kMemory);
    ASSERT_EQ(ReadImages(ctx), Outcome::kDone);
    EXPECT_TRUE(ReadBytes(rig.File("m.00.kimg")) ==
                FileBytesOf(rig.Head().Image(ImageKind::kMemory, 0)));
  }
}

TEST(OutOfStepImageReplies, WritesEndWithTheFileInTheHead) {
  const Bytes file = PatternFile(78);
  for (const OutOfStepCase& c : kOutOfStepCases) {
    SCOPED_TRACE(::testing::Message()
                 << static_cast<int>(c.kind) << " block " << c.block << " delay " << c.delay_ms);
    Rig rig;
    WriteBytes(rig.File("w.kimg"), file);
    rig.host.open_files = {rig.File("w.kimg")};
    rig.host.number_choice = 0;
    rig.host.answers = {tool::Answer::Yes};
    rig.AddFault(c.kind, 0x1C, c.block, 1, c.delay_ms);
    // A refusal right behind the fault: a copy of the previous acknowledge must not hide it.
    if (c.block < 511) rig.AddFault(FaultKind::kNak, 0x1C, c.block + 1);
    auto ctx = rig.Context(kMemory);
    ASSERT_EQ(WriteImages(ctx), Outcome::kDone);
    EXPECT_TRUE(FileBytesOf(rig.Head().Image(ImageKind::kMemory, 0)) == file);
  }
}

}  // namespace
}  // namespace kyr::images::testing
