// Replies out of step with the requests (late past the time-out, sent twice, followed by
// noise, cut in two by a pause) never end in a settings file or head that differs from the
// source while the transfer says it is done.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "tool/messages.h"
#include "transfer/transfer.h"
#include "transfer_rig.h"

namespace kyr::transfer {
namespace {

using headsim::FaultKind;
using testing::ReadAll;
using testing::Rig;

constexpr int kReadMemory = 0x10;
constexpr int kWriteMemory = 0x14;

struct OutOfStepCase {
  FaultKind kind;
  int command;
  int block;
  std::int64_t delay_ms;
};

// Delays around the 500 ms USB time-out: copies and noise at once, soon and much later.
constexpr OutOfStepCase kReadCases[] = {
    {FaultKind::kLateReply, kReadMemory, 3, 700},
    {FaultKind::kLateReply, kReadMemory, 40, 1400},
    {FaultKind::kDuplicateReply, kReadMemory, 0, 0},
    {FaultKind::kDuplicateReply, kReadMemory, 30, 3},
    {FaultKind::kDuplicateReply, kReadMemory, 63, 300},
    // A copy past the time-out holds back the next reply and answers its repeat.
    {FaultKind::kDuplicateReply, kReadMemory, 60, 1086},
    {FaultKind::kStrayBytes, kReadMemory, 12, 0},
    {FaultKind::kStrayBytes, kReadMemory, 63, 40},
    {FaultKind::kSplitReply, kReadMemory, 20, 100},
    {FaultKind::kSplitReply, kReadMemory, 21, 900},
};

TEST(OutOfStep, ReadAllSettingsReadsAgainFromTheFirstBlockAStrayReplyMayHaveAnswered) {
  for (const OutOfStepCase& c : kReadCases) {
    SCOPED_TRACE(::testing::Message()
                 << static_cast<int>(c.kind) << " block " << c.block << " delay " << c.delay_ms);
    Rig rig;
    rig.AddFault(c.kind, c.command, c.block, 1, c.delay_ms);
    ASSERT_EQ(ReadAllSettingsTo(rig.ctx, rig.File("s.kdta")), Outcome::kDone);
    EXPECT_TRUE(ReadAll(rig.File("s.kdta")) == settings::FormatSettingsText(rig.Settings()));
  }
}

// Acknowledges of the writes (blocks of 64 words) and the blocks read back to verify them.
constexpr OutOfStepCase kWriteCases[] = {
    {FaultKind::kLateReply, kWriteMemory, 5, 700},
    {FaultKind::kDuplicateReply, kWriteMemory, 17, 0},
    {FaultKind::kDuplicateReply, kWriteMemory, 17, 5},
    {FaultKind::kStrayBytes, kWriteMemory, 90, 0},
    {FaultKind::kSplitReply, kWriteMemory, 60, 900},
    {FaultKind::kDuplicateReply, kReadMemory, 10, 2},
    {FaultKind::kLateReply, kReadMemory, 127, 700},
    {FaultKind::kStrayBytes, kReadMemory, 50, 1},
};

TEST(OutOfStep, WriteSettingsWithVerifyWritesAndReadsAgainUntilInStep) {
  const auto file = testing::PatternSettings(31, 0x0301);
  for (const OutOfStepCase& c : kWriteCases) {
    SCOPED_TRACE(::testing::Message() << static_cast<int>(c.kind) << " command " << c.command
                                      << " block " << c.block << " delay " << c.delay_ms);
    Rig rig;
    const std::string path = rig.SettingsFile(file, "in.kdta");
    rig.AddFault(c.kind, c.command, c.block, 1, c.delay_ms);
    // A NAK right behind the fault: a copy of the previous acknowledge must not hide it.
    rig.AddFault(FaultKind::kNak, kWriteMemory, c.block + 1);
    const Outcome outcome = WriteSettingsFrom(rig.ctx, path, tool::WriteChoices{}, {true});
    ASSERT_EQ(outcome, Outcome::kDone);
    EXPECT_EQ(rig.host.MessageIds(), std::vector<ToolText>{ToolText::kSettingsWriteComplete});
    const auto head = rig.Settings();
    EXPECT_TRUE(std::equal(head.begin(), head.begin() + 96 * 64, file.begin()));
  }
}

TEST(OutOfStep, ALineThatNeverFallsQuietFailsWithoutAFile) {
  Rig rig;
  rig.AddFault(FaultKind::kDuplicateReply, kReadMemory, headsim::kAny, -1, 0);
  EXPECT_EQ(ReadAllSettingsTo(rig.ctx, rig.File("s.kdta")), Outcome::kFailed);
  EXPECT_EQ(rig.host.MessageIds(), std::vector<ToolText>{ToolText::kCommunicationError});
  EXPECT_FALSE(std::filesystem::exists(rig.File("s.kdta")));
}

}  // namespace
}  // namespace kyr::transfer
