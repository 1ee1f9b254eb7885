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

enum class Transfer { kReadAll, kWriteVerified };

struct OutOfStepCase {
  Transfer transfer;
  FaultKind kind;
  int command;
  int block;
  std::int64_t delay_ms;
};

constexpr Transfer kRead = Transfer::kReadAll;
constexpr Transfer kWrite = Transfer::kWriteVerified;

// Delays around the 500 ms USB time-out: copies and noise at once, soon and much later. The
// writes are spoiled in their acknowledges (blocks of 64 words) and in the blocks read back.
constexpr OutOfStepCase kCases[] = {
    {kRead, FaultKind::kLateReply, kReadMemory, 3, 700},
    {kRead, FaultKind::kLateReply, kReadMemory, 40, 1400},
    {kRead, FaultKind::kDuplicateReply, kReadMemory, 0, 0},
    {kRead, FaultKind::kDuplicateReply, kReadMemory, 30, 3},
    {kRead, FaultKind::kDuplicateReply, kReadMemory, 63, 300},
    // A copy past the time-out holds back the next reply and answers its repeat.
    {kRead, FaultKind::kDuplicateReply, kReadMemory, 60, 1086},
    {kRead, FaultKind::kStrayBytes, kReadMemory, 12, 0},
    {kRead, FaultKind::kStrayBytes, kReadMemory, 63, 40},
    {kRead, FaultKind::kSplitReply, kReadMemory, 20, 100},
    {kRead, FaultKind::kSplitReply, kReadMemory, 21, 900},
    {kWrite, FaultKind::kLateReply, kWriteMemory, 5, 700},
    {kWrite, FaultKind::kDuplicateReply, kWriteMemory, 17, 0},
    {kWrite, FaultKind::kDuplicateReply, kWriteMemory, 17, 5},
    {kWrite, FaultKind::kStrayBytes, kWriteMemory, 90, 0},
    {kWrite, FaultKind::kSplitReply, kWriteMemory, 60, 900},
    {kWrite, FaultKind::kDuplicateReply, kReadMemory, 10, 2},
    {kWrite, FaultKind::kLateReply, kReadMemory, 127, 700},
    {kWrite, FaultKind::kStrayBytes, kReadMemory, 50, 1},
};

// Runs the case's transfer on `rig`; whether it ended done with the source's data in place.
::testing::AssertionResult EndsDoneWithTheSourceData(Rig& rig, const OutOfStepCase& c) {
  if (c.transfer == kRead) {
    if (ReadAllSettingsTo(rig.ctx, rig.File("s.kdta")) != Outcome::kDone)
      return ::testing::AssertionFailure() << "the read did not end done";
    if (ReadAll(rig.File("s.kdta")) != settings::FormatSettingsText(rig.Settings()))
      return ::testing::AssertionFailure() << "the file differs from the head";
    return ::testing::AssertionSuccess();
  }
  const auto file = testing::PatternSettings(31, 0x0301);
  const std::string path = rig.SettingsFile(file, "in.kdta");
  // A NAK right behind the fault: a copy of the previous acknowledge must not hide it.
  rig.AddFault(FaultKind::kNak, kWriteMemory, c.block + 1);
  if (WriteSettingsFrom(rig.ctx, path, tool::WriteChoices{}, {true}) != Outcome::kDone ||
      rig.host.MessageIds() != std::vector<ToolText>{ToolText::kSettingsWriteComplete})
    return ::testing::AssertionFailure() << "the write did not end done";
  const auto head = rig.Settings();
  if (!std::equal(head.begin(), head.begin() + 96 * 64, file.begin()))
    return ::testing::AssertionFailure() << "the head differs from the file";
  return ::testing::AssertionSuccess();
}

TEST(OutOfStep, EveryTransferAsksAgainFromTheFirstStepAStrayReplyMayHaveAnswered) {
  for (const OutOfStepCase& c : kCases) {
    SCOPED_TRACE(::testing::Message()
                 << (c.transfer == kRead ? "read" : "write") << " kind " << static_cast<int>(c.kind)
                 << " command " << c.command << " block " << c.block << " delay " << c.delay_ms);
    Rig rig;
    rig.AddFault(c.kind, c.command, c.block, 1, c.delay_ms);
    EXPECT_TRUE(EndsDoneWithTheSourceData(rig, c));
  }
}

// The wait for an answer 1.4 s late is told once, with its block; a stop asked for then
// ends the wait at once and the read as aborted, with no file.
TEST(OutOfStep, AnOverdueReplyIsToldWithItsBlockAndAStopEndsTheWaitAtOnce) {
  for (const bool stop : {false, true}) {
    SCOPED_TRACE(stop ? "stopped" : "waited for");
    Rig rig;
    rig.AddFault(FaultKind::kLateReply, kReadMemory, 40, 1, 1400);
    std::vector<int> stalls;
    std::int64_t told_at = -1;
    rig.link.SetStallNotice([&](int block) {
      stalls.push_back(block);
      told_at = rig.ElapsedMs();
    });
    rig.host.abort_when = [&] { return stop && told_at >= 0; };
    rig.link.SetStopCheck([&] { return rig.host.AbortRequested(); });
    const Outcome outcome = ReadAllSettingsTo(rig.ctx, rig.File("s.kdta"));
    EXPECT_EQ(stalls, std::vector<int>{40});
    if (!stop) {
      EXPECT_EQ(outcome, Outcome::kDone);
      continue;
    }
    EXPECT_NE(outcome, Outcome::kDone);
    EXPECT_EQ(rig.host.MessageIds(), std::vector<ToolText>{ToolText::kAborted});
    EXPECT_FALSE(std::filesystem::exists(rig.File("s.kdta")));
    EXPECT_EQ(rig.ElapsedMs(), told_at);
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
