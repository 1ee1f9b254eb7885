// Answers that come after the tool gave up on them must not be taken for the answers to the
// requests that follow.
#include <gtest/gtest.h>

#include "common/fault_rule.h"
#include "image_ops_rig.h"

namespace kyr::images::testing {
namespace {

using headsim::FaultKind;
using headsim::ImageKind;
using test_common::Fault;

constexpr int kMemory = 1;

TEST(LateImageReplies, RepliesHeldBackInsideARequestAreNotTakenForOtherBlocks) {
  // Block 40 of the second request answers 1.4 s late, block 35 before it garbled; the
  // held-back answers 40 to 63 must not become blocks 32 onwards.
  for (bool garbled_before : {false, true}) {
    SCOPED_TRACE(garbled_before);
    TempFolder folder;
    Rig rig;
    rig.host.selection = 1;
    rig.host.save_name = folder.File("m.kimg");
    rig.Faults().Add(Fault(FaultKind::kLateReply, 0x18, 40, 1, 1400));
    if (garbled_before) rig.Faults().Add(Fault(FaultKind::kBadChecksum, 0x18, 35));
    auto ctx = rig.Context(kMemory);
    ASSERT_EQ(ReadImages(ctx), Outcome::kDone);
    EXPECT_TRUE(ReadBytes(folder.File("m.00.kimg")) ==
                FileBytesOf(rig.Head().Image(ImageKind::kMemory, 0)));
  }
}

TEST(LateImageReplies, ALateAcknowledgeDoesNotHideTheRefusalOfTheNextBlock) {
  TempFolder folder;
  const Bytes file = PatternFile(77);
  WriteBytes(folder.File("w.kimg"), file);
  Rig rig;
  rig.host.open_files = {folder.File("w.kimg")};
  rig.host.number_choice = 0;
  rig.host.answers = {tool::Answer::Yes};
  rig.Faults().Add(Fault(FaultKind::kLateReply, 0x1C, 38, 1, 1400));
  rig.Faults().Add(Fault(FaultKind::kNak, 0x1C, 39));
  auto ctx = rig.Context(kMemory);
  ASSERT_EQ(WriteImages(ctx), Outcome::kDone);
  EXPECT_TRUE(FileBytesOf(rig.Head().Image(ImageKind::kMemory, 0)) == file);
}

}  // namespace
}  // namespace kyr::images::testing
