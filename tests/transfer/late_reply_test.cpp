// Replies that come after the link gave up on them: the block is asked again, and neither
// the late answer's followers nor a late acknowledge may be taken for the next block's.
#include <gtest/gtest.h>

#include <algorithm>

#include "transfer/transfer.h"
#include "transfer_rig.h"

namespace kyr::transfer {
namespace {

using headsim::FaultKind;
using testing::ReadAll;
using testing::Rig;

TEST(LateReplies, ABlockAnsweredLateIsNotCopiedIntoTheNextOnRead) {
  // Late by more than the read time-out plus the drain's quiet time: the first attempt's
  // answer arrives when a repeated attempt is already waiting, with more answers behind it.
  for (std::int64_t delay : {700, 1400}) {
    SCOPED_TRACE(delay);
    Rig rig;
    rig.AddFault(FaultKind::kLateReply, 0x10, 44, 1, delay);
    auto& ctx = rig.ctx;
    ASSERT_EQ(ReadAllSettingsTo(ctx, rig.File("late.kdta")), Outcome::kDone);
    EXPECT_TRUE(ReadAll(rig.File("late.kdta")) == settings::FormatSettingsText(rig.Settings()));
  }
}

TEST(LateReplies, ALateAcknowledgeDoesNotHideTheRefusalOfTheNextBlock) {
  Rig rig;
  const auto file = testing::PatternSettings(22, 0x0301);
  const std::string path = rig.SettingsFile(file, "in.kdta");
  rig.AddFault(FaultKind::kLateReply, 0x14, 38, 1, 1400);
  rig.AddFault(FaultKind::kNak, 0x14, 39);
  auto& ctx = rig.ctx;
  ASSERT_EQ(WriteSettingsFrom(ctx, path, tool::WriteChoices{}), Outcome::kDone);
  const auto head = rig.Settings();
  EXPECT_TRUE(std::equal(head.begin(), head.begin() + 96 * 64, file.begin()));
  EXPECT_EQ(head[settings::CommonWord(5)], file[settings::CommonWord(5)]);
}

}  // namespace
}  // namespace kyr::transfer
