// Read All Settings against the simulated head unit on simulated time.
#include <gtest/gtest.h>

#include "transfer_rig.h"

namespace kyr::transfer {
namespace {

using headsim::FaultKind;
using testing::ReadAll;
using testing::Rig;

TEST(ReadAllSettings, CopiesTheTargetHeadWordForWordIntoAFileOf512Lines) {
  Rig rig(0x0301, 2);
  // Anything sent to the first head fails: the second one must be addressed by 0x11.
  rig.AddFault(FaultKind::kNak, 0x10, headsim::kAny, -1);
  rig.host.file_name = rig.File("copy");
  rig.ctx.head = 1;
  ASSERT_EQ(ReadAllSettings(rig.ctx), Outcome::kDone);
  const std::string text = ReadAll(rig.File("copy.kdta"));
  EXPECT_EQ(text, settings::FormatSettingsText(rig.Settings(1)));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 512);
  ASSERT_EQ(rig.host.MessageIds(), std::vector<ToolText>{ToolText::kSettingsReadComplete});
  EXPECT_EQ(rig.host.messages[0].caption, "Finish");
  EXPECT_EQ(rig.host.range_high, 64);
  EXPECT_EQ(rig.host.positions.size(), 66u);  // 0 at the start, each block, full at the end
  EXPECT_EQ(rig.engine().Stats().closes, 1);

  // An existing file is replaced only after Yes to the question.
  rig.host.answers = {tool::Answer::No, tool::Answer::Yes};
  testing::WriteAll(rig.File("copy.kdta"), "old");
  EXPECT_EQ(ReadAllSettings(rig.ctx), Outcome::kNotWanted);
  EXPECT_EQ(ReadAll(rig.File("copy.kdta")), "old");
  EXPECT_EQ(ReadAllSettings(rig.ctx), Outcome::kDone);
  EXPECT_EQ(ReadAll(rig.File("copy.kdta")), text);
  EXPECT_EQ(rig.host.MessageIds(),
            (std::vector<ToolText>{ToolText::kSettingsReadComplete, ToolText::kFileExists,
                                   ToolText::kFileExists, ToolText::kSettingsReadComplete}));
}

TEST(ReadAllSettings, FourBadRepliesForABlockAreRetriedAFifthFailsAndKeepsTheOldFile) {
  Rig rig;
  for (FaultKind kind : {FaultKind::kBadChecksum, FaultKind::kNak, FaultKind::kShortReply,
                         FaultKind::kMissingReply}) {
    rig.AddFault(kind, 0x10, 10);
  }
  ASSERT_EQ(ReadAllSettingsTo(rig.ctx, rig.File("good.kdta")), Outcome::kDone);
  EXPECT_EQ(ReadAll(rig.File("good.kdta")), settings::FormatSettingsText(rig.Settings()));

  // Five in a row: 147, no closing frame, and the chosen name keeps what it held.
  rig.AddFault(FaultKind::kBadChecksum, 0x10, 10, 5);
  rig.host.answers = {tool::Answer::Yes};
  EXPECT_EQ(ReadAllSettingsTo(rig.ctx, rig.File("good.kdta")), Outcome::kFailed);
  EXPECT_EQ(rig.host.MessageIds(),
            (std::vector<ToolText>{ToolText::kSettingsReadComplete, ToolText::kFileExists,
                                   ToolText::kCommunicationError}));
  EXPECT_EQ(rig.host.messages.back().caption, "Error");
  EXPECT_EQ(ReadAll(rig.File("good.kdta")), settings::FormatSettingsText(rig.Settings()));
  EXPECT_TRUE(rig.state.failed);
  EXPECT_EQ(rig.engine().Stats().closes, 1);  // from the first read only
  EXPECT_EQ(rig.host.positions.back(), 9);    // blocks 0 to 9 had arrived

  rig.AddFault(FaultKind::kBadChecksum, 0x10, 10, 5);
  EXPECT_EQ(ReadAllSettingsTo(rig.ctx, rig.File("new.kdta")), Outcome::kFailed);
  EXPECT_EQ(rig.temp.Names().size(), 1u);  // neither the new file nor a temporary one
}

TEST(ReadAllSettings, AbsentHeadFailedQueryAndLinkFailuresLeaveNoFile) {
  Rig rig;
  rig.ctx.head = 2;  // Target Head "3" on a unit with one head
  EXPECT_EQ(ReadAllSettingsTo(rig.ctx, rig.File("a.kdta")), Outcome::kFailed);
  rig.ctx.head = 0;
  rig.AddFault(FaultKind::kNak, 0xFB, headsim::kAny);
  EXPECT_EQ(ReadAllSettingsTo(rig.ctx, rig.File("a.kdta")), Outcome::kFailed);
  rig.unit.Unplug();  // no head unit at all: the link's code, in a box without caption
  EXPECT_EQ(ReadAllSettingsTo(rig.ctx, rig.File("a.kdta")), Outcome::kFailed);
  std::filesystem::create_directory(rig.File("dir.kdta"));
  rig.host.answers = {tool::Answer::Yes};
  EXPECT_EQ(ReadAllSettingsTo(rig.ctx, rig.File("dir.kdta")), Outcome::kFailed);

  EXPECT_EQ(rig.host.MessageIds(),
            (std::vector<ToolText>{ToolText::kHeadAbsent, ToolText::kCommunicationError,
                                   ToolText::kUnknownCommError, ToolText::kFileExists,
                                   ToolText::kCannotCreate}));
  EXPECT_EQ(rig.host.messages[0].caption, "Error");
  EXPECT_EQ(rig.host.messages[2].caption, "");
  EXPECT_EQ(rig.engine().Stats().closes, 0);
  EXPECT_FALSE(rig.link.IsOpen());
  EXPECT_EQ(rig.temp.Names().size(), 1u);
}

}  // namespace
}  // namespace kyr::transfer
