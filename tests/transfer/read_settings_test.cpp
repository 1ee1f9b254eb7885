// Read All Settings against the simulated head unit on simulated time.
#include <gtest/gtest.h>

#include <algorithm>

#include "transfer/transfer.h"
#include "transfer_rig.h"

namespace kyr::transfer {
namespace {

using headsim::FaultKind;
using testing::ReadAll;
using testing::Rig;

headsim::FaultRule Rule(FaultKind kind, int command, int block, int times = 1) {
  headsim::FaultRule rule;
  rule.kind = kind;
  rule.command = command;
  rule.block = block;
  rule.times = times;
  return rule;
}

settings::SettingsImage ImageOf(const headsim::SettingsWords& memory) {
  settings::SettingsImage image{};
  std::copy(memory.begin(), memory.end(), image.begin());
  return image;
}

std::size_t FilesIn(const std::filesystem::path& folder) {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                                std::filesystem::directory_iterator()));
}

TEST(ReadAllSettings, CopiesTheTargetHeadWordForWordIntoAFileOf512Lines) {
  Rig rig(0x0301, 2);
  rig.FillHead(0, 1);
  rig.FillHead(1, 2);
  // Anything sent to the first head would fail: the second one is addressed by 0x11.
  rig.engine().Faults().Add(Rule(FaultKind::kNak, 0x10, headsim::kAny, -1));
  rig.host.file_name = rig.File("copy");
  auto ctx = rig.Context(1);
  ASSERT_EQ(ReadAllSettings(ctx), kTransferDone);

  const std::string text = ReadAll(rig.File("copy.kdta"));
  EXPECT_EQ(text, settings::FormatSettingsText(ImageOf(rig.Memory(1))));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 512);
  EXPECT_EQ(text.size(), settings::kFileBytes);
  ASSERT_EQ(rig.host.MessageIds(), std::vector<int>{148});
  EXPECT_EQ(rig.host.messages[0].caption, "Finish");
  EXPECT_EQ(rig.host.messages[0].icon, tool::Icon::Information);
  EXPECT_EQ(rig.host.range_low, 0);
  EXPECT_EQ(rig.host.range_high, 64);
  EXPECT_EQ(rig.host.positions.size(), 66u);  // 0 at the start, each block, full at the end
  EXPECT_EQ(rig.host.positions[64], 63);
  EXPECT_EQ(rig.engine().Stats().handshakes, 1);
  EXPECT_EQ(rig.engine().Stats().closes, 1);
  EXPECT_FALSE(rig.state.failed);

  // A name in the upper-case extension gets the extension after it; an exact one is kept.
  rig.host.file_name = rig.File("copy.KDTA");
  ASSERT_EQ(ReadAllSettings(ctx), kTransferDone);
  EXPECT_TRUE(std::filesystem::exists(rig.File("copy.KDTA.kdta")));
  rig.host.file_name = rig.File("copy.kdta");
  rig.host.answers = {tool::Answer::Yes};
  ASSERT_EQ(ReadAllSettings(ctx), kTransferDone);
  EXPECT_EQ(rig.host.MessageIds(), (std::vector<int>{148, 148, 143, 148}));
  EXPECT_EQ(FilesIn(rig.folder), 2u);
}

TEST(ReadAllSettings, FourBadRepliesForABlockAreRetriedAFifthFailsAndKeepsTheOldFile) {
  Rig rig;
  rig.FillHead(0, 3);
  for (FaultKind kind : {FaultKind::kBadChecksum, FaultKind::kNak, FaultKind::kShortReply,
                         FaultKind::kMissingReply}) {
    rig.engine().Faults().Add(Rule(kind, 0x10, 10));
  }
  auto ctx = rig.Context();
  ASSERT_EQ(ReadAllSettingsTo(ctx, rig.File("good.kdta")), kTransferDone);
  EXPECT_EQ(ReadAll(rig.File("good.kdta")), settings::FormatSettingsText(ImageOf(rig.Memory())));
  EXPECT_EQ(rig.host.MessageIds(), std::vector<int>{148});

  // Five in a row: message 147, no closing frame, and the chosen name keeps what it held.
  rig.engine().Faults().Add(Rule(FaultKind::kBadChecksum, 0x10, 10, 5));
  testing::WriteAll(rig.File("old.kdta"), "kept");
  rig.host.answers = {tool::Answer::Yes};
  EXPECT_EQ(ReadAllSettingsTo(ctx, rig.File("old.kdta")), kTransferFailed);
  EXPECT_EQ(rig.host.MessageIds(), (std::vector<int>{148, 143, 147}));
  EXPECT_EQ(rig.host.messages.back().caption, "Error");
  EXPECT_EQ(ReadAll(rig.File("old.kdta")), "kept");
  EXPECT_TRUE(rig.state.failed);
  EXPECT_EQ(rig.engine().Stats().closes, 1);  // from the first read only
  EXPECT_EQ(rig.host.positions.back(), 9);    // blocks 0 to 9 had arrived

  rig.engine().Faults().Add(Rule(FaultKind::kBadChecksum, 0x10, 10, 5));
  EXPECT_EQ(ReadAllSettingsTo(ctx, rig.File("new.kdta")), kTransferFailed);
  EXPECT_FALSE(std::filesystem::exists(rig.File("new.kdta")));
  EXPECT_EQ(FilesIn(rig.folder), 2u);  // no temporary file left behind
}

TEST(ReadAllSettings, AbsentHeadFailedQueryAndLinkFailuresLeaveNoFile) {
  Rig rig;
  auto ctx = rig.Context(2);  // Target Head "3" on a unit with one head
  EXPECT_EQ(ReadAllSettingsTo(ctx, rig.File("a.kdta")), kTransferFailed);
  ASSERT_EQ(rig.host.MessageIds(), std::vector<int>{168});
  EXPECT_EQ(rig.host.messages[0].caption, "Error");

  ctx.head = 0;
  rig.engine().Faults().Add(Rule(FaultKind::kNak, 0xFB, headsim::kAny));
  EXPECT_EQ(ReadAllSettingsTo(ctx, rig.File("a.kdta")), kTransferFailed);
  EXPECT_EQ(rig.host.MessageIds().back(), 147);

  // No head unit on the bus: the link's code is shown in a box without a caption.
  rig.unit.Unplug();
  EXPECT_EQ(ReadAllSettingsTo(ctx, rig.File("a.kdta")), kTransferFailed);
  EXPECT_EQ(rig.host.MessageIds().back(), 169);
  EXPECT_EQ(rig.host.messages.back().caption, "");

  EXPECT_EQ(rig.engine().Stats().closes, 0);
  EXPECT_FALSE(rig.link.IsOpen());
  EXPECT_EQ(FilesIn(rig.folder), 0u);
}

TEST(ReadAllSettings, DeclinedOverwriteAndCancelledDialogTouchNeitherFileNorHead) {
  Rig rig;
  testing::WriteAll(rig.File("old.kdta"), "kept");
  rig.host.file_name = rig.File("old");
  auto ctx = rig.Context();
  EXPECT_EQ(ReadAllSettings(ctx), kTransferNotWanted);
  EXPECT_EQ(rig.host.MessageIds(), std::vector<int>{143});
  EXPECT_EQ(rig.host.messages[0].buttons, tool::Buttons::YesNo);
  EXPECT_EQ(ReadAll(rig.File("old.kdta")), "kept");

  rig.host.file_name.reset();
  EXPECT_EQ(ReadAllSettings(ctx), kTransferNotWanted);
  // A folder in the way cannot be replaced by the file.
  std::filesystem::create_directory(rig.File("dir.kdta"));
  rig.host.answers = {tool::Answer::Yes};
  EXPECT_EQ(ReadAllSettingsTo(ctx, rig.File("dir.kdta")), kTransferFailed);
  EXPECT_EQ(rig.host.MessageIds().back(), 142);
  EXPECT_EQ(rig.engine().Stats().handshakes, 0);
}

}  // namespace
}  // namespace kyr::transfer
