// Write Settings against the simulated head unit on simulated time.
#include <gtest/gtest.h>

#include <algorithm>

#include "settings/conversion.h"
#include "transfer/transfer.h"
#include "transfer_rig.h"

namespace kyr::transfer {
namespace {

using headsim::FaultKind;
using testing::ReadAll;
using testing::Rig;
using testing::WriteAll;
using tool::WriteChoices;

constexpr int kBlockWords = 64;

WriteChoices Choices(int start, int end, int target, bool common, bool alphabet, bool dictionary) {
  return WriteChoices{start, end, target, common, alphabet, dictionary};
}

// Writes `image` as a settings file and returns its path.
std::string SettingsFile(Rig& rig, const settings::SettingsImage& image,
                         const std::string& name = "in.kdta") {
  WriteAll(rig.File(name), settings::FormatSettingsText(image));
  return rig.File(name);
}

// Words of head blocks [first, last] equal `source` from block `from` on.
void ExpectBlocks(const headsim::SettingsWords& memory, int first, int last,
                  const settings::SettingsImage& source, int from) {
  for (int k = first * kBlockWords; k < (last + 1) * kBlockWords; ++k) {
    ASSERT_EQ(memory[k], source[k + (from - first) * kBlockWords]) << "head word " << k;
  }
}

settings::SettingsImage ImageOf(const headsim::SettingsWords& memory) {
  settings::SettingsImage image{};
  std::copy(memory.begin(), memory.end(), image.begin());
  return image;
}

TEST(WriteSettings, ChosenBanksLandFromTheTargetBankAndNothingElseIsTouched) {
  Rig rig;
  rig.FillHead(0, 5);
  const auto before = ImageOf(rig.Memory());
  const auto file = testing::PatternImage(6, 0x0301);
  const std::string path = SettingsFile(rig, file);
  auto ctx = rig.Context();
  ASSERT_EQ(WriteSettingsFrom(ctx, path, Choices(2, 4, 10, false, true, true)), kTransferDone);
  // File blocks 6 to 14 (banks 2 to 4) are head blocks 30 to 38 (banks 10 to 12).
  ExpectBlocks(rig.Memory(), 0, 29, before, 0);
  ExpectBlocks(rig.Memory(), 30, 38, file, 6);
  ExpectBlocks(rig.Memory(), 39, 127, before, 39);
  EXPECT_EQ(rig.host.MessageIds(), std::vector<int>{156});
  EXPECT_EQ(rig.host.messages[0].caption, "Finish");
  EXPECT_EQ(rig.host.range_high, 128);
  EXPECT_EQ(rig.host.positions, (std::vector<int>{0, 6, 7, 8, 9, 10, 11, 12, 13, 14, 128}));
  EXPECT_EQ(rig.engine().Stats().finishes, 1);
  EXPECT_EQ(rig.engine().Stats().closes, 1);

  // Start above end: no bank at all, the common block all the same.
  ASSERT_EQ(WriteSettingsFrom(ctx, path, Choices(5, 4, 5, true, true, true)), kTransferDone);
  ExpectBlocks(rig.Memory(), 0, 29, before, 0);
  ExpectBlocks(rig.Memory(), 39, 126, before, 39);
  ExpectBlocks(rig.Memory(), 127, 127, file, 127);
}

TEST(WriteSettings, OnlyHeadsOfModelCodeTwoReceiveTheAlphabetTableAndDictionary) {
  for (std::uint16_t word : {std::uint16_t{0x0301}, std::uint16_t{0x0302}, std::uint16_t{0x0303}}) {
    SCOPED_TRACE(word);
    Rig rig(word);
    rig.FillHead(0, 7);
    const auto before = ImageOf(rig.Memory());
    const auto file = testing::PatternImage(8, word);
    auto ctx = rig.Context();
    ASSERT_EQ(WriteSettingsFrom(ctx, SettingsFile(rig, file), WriteChoices{}), kTransferDone);
    ExpectBlocks(rig.Memory(), 0, 95, file, 0);
    ExpectBlocks(rig.Memory(), 96, 107, before, 96);
    ExpectBlocks(rig.Memory(), 108, 125, word == 0x0302 ? file : before, 108);
    ExpectBlocks(rig.Memory(), 126, 126, before, 126);
    ExpectBlocks(rig.Memory(), 127, 127, file, 127);
  }
}

TEST(WriteSettings, FileVersionsAreConvertedToTheHeadsAndTheFileStaysAsItWas) {
  struct Case {
    std::uint16_t file_word;
    std::uint16_t head_word;
    std::vector<void (*)(settings::SettingsImage&)> steps;
  };
  const std::vector<Case> cases = {
      {0x0301, 0x0101, {settings::ConvertVersion3To2, settings::ConvertVersion2To1}},
      {0x0301, 0x0201, {settings::ConvertVersion3To2}},
      {0x0101, 0x0301, {settings::ConvertVersion1To2, settings::ConvertVersion2To3}},
      {0x0201, 0x0101, {settings::ConvertVersion2To1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.head_word);
    Rig rig(c.head_word);
    auto file = testing::PatternImage(9, c.file_word);
    file[settings::WindowWord(0, 0, 9)] = 0x01E0;
    const std::string path = SettingsFile(rig, file);
    const std::string text = ReadAll(path);
    auto expected = file;
    for (auto step : c.steps) step(expected);
    auto ctx = rig.Context();
    ASSERT_EQ(WriteSettingsFrom(ctx, path, WriteChoices{}), kTransferDone);
    ExpectBlocks(rig.Memory(), 0, 95, expected, 0);
    ExpectBlocks(rig.Memory(), 127, 127, expected, 127);
    EXPECT_EQ(rig.Memory()[settings::CommonWord(0)], c.head_word);
    EXPECT_EQ(ReadAll(path), text);
  }
  // Down to version 1 the position adjustment is clipped and the high bytes filled.
  Rig rig(0x0101);
  auto file = testing::PatternImage(9, 0x0301);
  file[settings::WindowWord(3, 4, 9)] = 0x01E0;
  auto ctx = rig.Context();
  ASSERT_EQ(WriteSettingsFrom(ctx, SettingsFile(rig, file), WriteChoices{}), kTransferDone);
  EXPECT_EQ(rig.Memory()[settings::WindowWord(3, 4, 9)], 0xFFE0);
}

TEST(WriteSettings, RefusalsShowTheirMessageAndWriteNothing) {
  struct Case {
    std::uint16_t head_word;
    std::uint16_t file_word;
    int message;
  };
  const std::vector<Case> cases = {
      {0x0302, 0x0202, 165},                         // model 2 of another settings version
      {0x0401, 0x0301, 165},                         // a head version the tool does not know
      {0x0302, 0x0301, 166},                         // another model
      {0x0300, 0x0300, 151},                         // model codes outside 1 to 3
      {0x0304, 0x0304, 151}, {0x0301, 0x0501, 712},  // a file version that cannot be converted
      {0x0201, 0x0001, 712},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    Rig rig(c.head_word);
    rig.FillHead(0, 10);
    const auto before = ImageOf(rig.Memory());
    auto ctx = rig.Context();
    const auto file = testing::PatternImage(11, c.file_word);
    EXPECT_EQ(WriteSettingsFrom(ctx, SettingsFile(rig, file), WriteChoices{}), kTransferRefused);
    ASSERT_EQ(rig.host.MessageIds(), std::vector<int>{c.message});
    EXPECT_EQ(rig.host.messages[0].caption, "Error");
    EXPECT_EQ(ImageOf(rig.Memory()), before);
    EXPECT_EQ(rig.engine().Stats().closes, 0);
    EXPECT_TRUE(rig.state.failed);
  }
}

TEST(WriteSettings, IncompleteFilesAndBanksPastTheLastAreRefusedBeforeTheLinkOpens) {
  Rig rig;
  rig.FillHead(0, 12);
  const auto before = ImageOf(rig.Memory());
  const std::string text = settings::FormatSettingsText(testing::PatternImage(13, 0x0301));
  auto ctx = rig.Context();
  const auto refused = [&](const std::string& content, const WriteChoices& choices) {
    WriteAll(rig.File("in.kdta"), content);
    return WriteSettingsFrom(ctx, rig.File("in.kdta"), choices);
  };
  // 511 lines; a line without its last field; a line two characters short.
  EXPECT_EQ(refused(text.substr(0, 511 * 82), WriteChoices{}), kTransferRefused);
  EXPECT_NE(rig.host.messages.back().text.find("line 512"), std::string::npos);
  std::string cut = text;
  cut.erase(100 * 82 + 75, 5);
  EXPECT_EQ(refused(cut, WriteChoices{}), kTransferRefused);
  EXPECT_NE(rig.host.messages.back().text.find("line 101"), std::string::npos);
  cut = text;
  cut.erase(7 * 82 + 77, 2);
  EXPECT_EQ(refused(cut, WriteChoices{}), kTransferRefused);
  EXPECT_NE(rig.host.messages.back().text.find("line 8"), std::string::npos);
  // Banks 20 to 31 from bank 25 on would pass bank 31; 20 to 31 onto 20 fits.
  EXPECT_EQ(refused(text, Choices(20, 31, 25, true, true, true)), kTransferRefused);
  EXPECT_EQ(WriteSettingsFrom(ctx, rig.File("absent.kdta"), WriteChoices{}), kTransferFailed);
  EXPECT_EQ(rig.host.MessageIds(), (std::vector<int>{710, 710, 710, 711, 155}));
  EXPECT_EQ(rig.engine().Stats().handshakes, 0);
  EXPECT_EQ(ImageOf(rig.Memory()), before);

  // Lines ended by LF alone, and without the trailing blank, are complete.
  std::string lf;
  for (std::size_t at = 0; at < text.size(); at += 82) lf += text.substr(at, 79) + "\n";
  EXPECT_EQ(refused(lf, Choices(20, 31, 20, true, true, true)), kTransferDone);
}

TEST(WriteSettings, ABlockIsSentAgainUpToFourTimesAndTheFifthFailureStopsTheWrite) {
  Rig rig;
  rig.FillHead(0, 14);
  const auto before = ImageOf(rig.Memory());
  const auto file = testing::PatternImage(15, 0x0301);
  const std::string path = SettingsFile(rig, file);
  auto ctx = rig.Context();
  headsim::FaultRule rule;
  rule.command = 0x14;
  rule.block = 40;
  for (FaultKind kind : {FaultKind::kNak, FaultKind::kBadChecksum, FaultKind::kMissingReply,
                         FaultKind::kShortReply}) {
    rule.kind = kind;
    rig.engine().Faults().Add(rule);
  }
  ASSERT_EQ(WriteSettingsFrom(ctx, path, WriteChoices{}), kTransferDone);
  ExpectBlocks(rig.Memory(), 0, 95, file, 0);

  Rig failing;
  failing.FillHead(0, 14);
  rule.kind = FaultKind::kNak;
  rule.times = 5;
  failing.engine().Faults().Add(rule);
  auto failing_ctx = failing.Context();
  EXPECT_EQ(WriteSettingsFrom(failing_ctx, SettingsFile(failing, file), WriteChoices{}),
            kTransferFailed);
  EXPECT_EQ(failing.host.MessageIds(), std::vector<int>{147});
  ExpectBlocks(failing.Memory(), 0, 39, file, 0);  // written before the failure stay written
  ExpectBlocks(failing.Memory(), 40, 127, before, 40);
  EXPECT_EQ(failing.engine().Stats().finishes, 0);
  EXPECT_EQ(failing.engine().Stats().closes, 0);

  // An unacknowledged finish command is not retried and fails the write.
  Rig unfinished;
  rule.command = 0x24;
  rule.block = headsim::kAny;
  rule.times = 1;
  unfinished.engine().Faults().Add(rule);
  auto unfinished_ctx = unfinished.Context();
  EXPECT_EQ(WriteSettingsFrom(unfinished_ctx, SettingsFile(unfinished, file), WriteChoices{}),
            kTransferFailed);
  EXPECT_EQ(unfinished.host.MessageIds(), std::vector<int>{147});
}

TEST(WriteSettings, TheDialogsChoicesAreRememberedAndCancelWritesNothing) {
  Rig rig;
  const auto file = testing::PatternImage(16, 0x0301);
  SettingsFile(rig, file, "set.kdta");
  rig.host.file_name = rig.File("set");
  auto ctx = rig.Context();
  EXPECT_EQ(WriteSettings(ctx), kTransferNotWanted);  // CANCEL
  EXPECT_EQ(rig.engine().Stats().handshakes, 0);

  rig.host.write_answer = Choices(3, 3, 7, false, false, false);
  ASSERT_EQ(WriteSettings(ctx), kTransferDone);
  ExpectBlocks(rig.Memory(), 21, 23, file, 9);
  rig.host.write_answer.reset();
  EXPECT_EQ(WriteSettings(ctx), kTransferNotWanted);
  ASSERT_EQ(rig.host.shown_choices.size(), 3u);
  EXPECT_EQ(rig.host.shown_choices[0], WriteChoices{});
  EXPECT_EQ(rig.host.shown_choices[2], Choices(3, 3, 7, false, false, false));

  // In the dialog, choosing a start bank moves the target bank with it.
  tool::WriteDialogModel dialog(WriteChoices{});
  dialog.ChooseTargetBank(9);
  dialog.ChooseStartBank(4);
  EXPECT_EQ(dialog.Shown().target_bank, 4);
  dialog.ChooseTargetBank(6);
  WriteChoices remembered;
  dialog.Accept(remembered);
  EXPECT_EQ(remembered, Choices(4, 31, 6, true, true, true));
}

TEST(WriteSettings, VerifyReadsTheWrittenBlocksBackAndReportsTheFirstDifference) {
  Rig rig;
  const auto file = testing::PatternImage(17, 0x0301);
  const std::string path = SettingsFile(rig, file);
  auto ctx = rig.Context();
  WriteOptions verify;
  verify.verify = true;
  ASSERT_EQ(WriteSettingsFrom(ctx, path, WriteChoices{}, verify), kTransferDone);
  EXPECT_EQ(rig.host.MessageIds(), std::vector<int>{156});

  // A word the head lost after taking it.
  rig.host.on_progress = [&](int position) {
    if (position == 127) rig.Memory()[30 * kBlockWords + 5] ^= 0x0100;
  };
  EXPECT_EQ(WriteSettingsFrom(ctx, path, WriteChoices{}, verify), kTransferFailed);
  ASSERT_EQ(rig.host.MessageIds(), (std::vector<int>{156, 713}));
  const std::string& text = rig.host.messages.back().text;
  EXPECT_NE(text.find("block 30, word 5"), std::string::npos) << text;
  const std::uint16_t written = file[30 * kBlockWords + 5];
  char expected[64];
  std::snprintf(expected, sizeof expected, "0x%04X but reads 0x%04X", written,
                static_cast<unsigned>(written ^ 0x0100));
  EXPECT_NE(text.find(expected), std::string::npos) << text;
  EXPECT_EQ(rig.engine().Stats().closes, 1);
}

}  // namespace
}  // namespace kyr::transfer
