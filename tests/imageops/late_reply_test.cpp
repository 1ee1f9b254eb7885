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

}  // namespace
}  // namespace kyr::images::testing
