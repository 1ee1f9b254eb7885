// Write Settings against the simulated head unit on simulated time.
#include <gtest/gtest.h>

#include "settings/conversion.h"
#include "transfer_rig.h"

namespace kyr::transfer {
namespace {

using headsim::FaultKind;
using testing::PatternSettings;
using testing::Rig;
using tool::WriteChoices;

constexpr int kBlockWords = 64;

// Head blocks [first, last] hold `source` from its block `from` on.
void ExpectBlocks(Rig& rig, int first, int last, const settings::SettingsImage& source, int from) {
  for (int k = first * kBlockWords; k < (last + 1) * kBlockWords; ++k) {
    ASSERT_EQ(rig.Head().settings[k], source[k + (from - first) * kBlockWords])
        << "head word " << k;
  }
}

TEST(WriteSettings, ChosenBanksLandFromTheTargetBankAndNothingElseIsTouched) {
  Rig rig;
  const auto before = rig.Settings();
  const auto file = PatternSettings(6, 0x0301);
  const std::string path = rig.SettingsFile(file, "in.kdta");
  ASSERT_EQ(WriteSettingsFrom(rig.ctx, path, {2, 4, 10, false, true, true}), Outcome::kDone);
  ExpectBlocks(rig, 0, 29, before, 0);
  ExpectBlocks(rig, 30, 38, file, 6);  // banks 2 to 4 onto banks 10 to 12
  ExpectBlocks(rig, 39, 127, before, 39);
  EXPECT_EQ(rig.host.MessageIds(), std::vector<ToolText>{ToolText::kSettingsWriteComplete});
  EXPECT_EQ(rig.host.messages[0].caption, "Finish");
  EXPECT_EQ(rig.host.range_high, 128);
  EXPECT_EQ(rig.host.positions, (std::vector<int>{0, 6, 7, 8, 9, 10, 11, 12, 13, 14, 128}));
  EXPECT_EQ(rig.engine().Stats().finishes, 1);
  EXPECT_EQ(rig.engine().Stats().closes, 1);

  // Start above end holds no bank: refused before the link opens, nothing sent.
  rig.host.messages.clear();
  EXPECT_EQ(WriteSettingsFrom(rig.ctx, path, {5, 4, 5, true, true, true}), Outcome::kRefused);
  EXPECT_EQ(rig.host.MessageIds(), std::vector<ToolText>{ToolText::kEmptyBankRange});
  ExpectBlocks(rig, 39, 127, before, 39);
  EXPECT_EQ(rig.engine().Stats().closes, 1);
}

TEST(WriteSettings, OnlyHeadsOfModelCodeTwoReceiveTheAlphabetTableAndDictionary) {
  for (int model = 1; model <= 3; ++model) {
    const auto word = static_cast<std::uint16_t>(0x0300 + model);
    Rig rig(word);
    const auto before = rig.Settings();
    const auto file = PatternSettings(8, word);
    ASSERT_EQ(WriteSettingsFrom(rig.ctx, rig.SettingsFile(file, "in.kdta"), {}), Outcome::kDone);
    ExpectBlocks(rig, 0, 95, file, 0);
    ExpectBlocks(rig, 96, 107, before, 96);
    ExpectBlocks(rig, 108, 125, model == 2 ? file : before, 108);
    ExpectBlocks(rig, 126, 126, before, 126);
    ExpectBlocks(rig, 127, 127, file, 127);
  }
}

TEST(WriteSettings, FileVersionsAreConvertedToTheHeadsAndTheFileStaysAsItWas) {
  using Step = void (*)(settings::SettingsImage&);
  const struct {
    std::uint16_t file_word, head_word;
    std::vector<Step> steps;
  } cases[] = {
      {0x0301, 0x0101, {settings::ConvertVersion3To2, settings::ConvertVersion2To1}},
      {0x0101, 0x0301, {settings::ConvertVersion1To2, settings::ConvertVersion2To3}},
  };
  for (const auto& c : cases) {
    Rig rig(c.head_word);
    auto file = PatternSettings(9, c.file_word);
    file[settings::WindowWord(3, 4, 9)] = 0x01E0;
    const std::string path = rig.SettingsFile(file, "in.kdta");
    const std::string text = testing::ReadAll(path);
    auto expected = file;
    for (Step step : c.steps) step(expected);
    ASSERT_EQ(WriteSettingsFrom(rig.ctx, path, {}), Outcome::kDone);
    ExpectBlocks(rig, 0, 95, expected, 0);
    ExpectBlocks(rig, 127, 127, expected, 127);
    EXPECT_EQ(rig.Head().settings[settings::CommonWord(0)], c.head_word);
    EXPECT_EQ(testing::ReadAll(path), text);
  }
  Rig rig(0x0101);  // down to version 1, position adjustment clipped, high bytes filled
  auto file = PatternSettings(9, 0x0301);
  file[settings::WindowWord(3, 4, 9)] = 0x01E0;
  ASSERT_EQ(WriteSettingsFrom(rig.ctx, rig.SettingsFile(file, "in.kdta"), {}), Outcome::kDone);
  EXPECT_EQ(rig.Head().settings[settings::WindowWord(3, 4, 9)], 0xFFE0);
}

TEST(WriteSettings, RefusalsShowTheirMessageAndWriteNothing) {
  const struct {
    std::uint16_t head_word, file_word;
    ToolText message;
  } cases[] = {
      {0x0302, 0x0202, ToolText::kUnknownHeadVersion},  // model 2 of another settings version
      {0x0401, 0x0301, ToolText::kUnknownHeadVersion},  // a head version the tool does not know
      {0x0302, 0x0301, ToolText::kOtherModel},          // another model
      {0x0300, 0x0300, ToolText::kUnknownHeadType},     // model codes outside 1 to 3
      {0x0304, 0x0304, ToolText::kUnknownHeadType},
      {0x0301, 0x0501, ToolText::kUnknownFileVersion},  // file versions that cannot be converted
      {0x0201, 0x0001, ToolText::kUnknownFileVersion},
  };
  for (const auto& c : cases) {
    Rig rig(c.head_word);
    const auto before = rig.Settings();
    const std::string path = rig.SettingsFile(PatternSettings(11, c.file_word), "in.kdta");
    EXPECT_EQ(WriteSettingsFrom(rig.ctx, path, {}), Outcome::kRefused);
    EXPECT_EQ(rig.host.MessageIds(), std::vector<ToolText>{c.message});
    EXPECT_EQ(rig.host.messages[0].caption, "Error");
    EXPECT_EQ(rig.Settings(), before);
    EXPECT_EQ(rig.engine().Stats().closes, 0);
  }
}

TEST(WriteSettings, IncompleteFilesAndBanksPastTheLastAreRefusedBeforeTheLinkOpens) {
  Rig rig;
  const auto before = rig.Settings();
  const std::string text = settings::FormatSettingsText(PatternSettings(13, 0x0301));
  const auto write = [&](const std::string& content, const WriteChoices& choices) {
    testing::WriteAll(rig.File("in.kdta"), content);
    return WriteSettingsFrom(rig.ctx, rig.File("in.kdta"), choices);
  };
  std::string cut = text;
  cut.erase(100 * 82 + 75, 5);  // line 101 without its last field
  EXPECT_EQ(write(cut, {}), Outcome::kRefused);
  EXPECT_NE(rig.host.messages.back().text.find("line 101"), std::string::npos);
  EXPECT_EQ(write(text.substr(0, 511 * 82), {}), Outcome::kRefused);
  EXPECT_NE(rig.host.messages.back().text.find("line 512"), std::string::npos);
  EXPECT_EQ(write(text, {20, 31, 25, true, true, true}), Outcome::kRefused);
  EXPECT_EQ(WriteSettingsFrom(rig.ctx, rig.File("absent.kdta"), {}), Outcome::kFailed);
  EXPECT_EQ(rig.host.MessageIds(),
            (std::vector<ToolText>{ToolText::kIncompleteFile, ToolText::kIncompleteFile,
                                   ToolText::kBanksPastEnd, ToolText::kCannotOpenFile}));
  EXPECT_EQ(rig.engine().Stats().handshakes, 0);
  EXPECT_EQ(rig.Settings(), before);

  // Lines ended by LF alone and without the trailing blank are complete; 20 to 31 fits.
  std::string lf;
  for (std::size_t at = 0; at < text.size(); at += 82) lf += text.substr(at, 79) + "\n";
  EXPECT_EQ(write(lf, {20, 31, 20, true, true, true}), Outcome::kDone);
}

TEST(WriteSettings, ABlockIsSentAgainUpToFourTimesAndAFifthFailureStopsTheWrite) {
  Rig rig;
  const auto before = rig.Settings();
  const auto file = PatternSettings(15, 0x0301);
  const std::string path = rig.SettingsFile(file, "in.kdta");
  for (FaultKind kind : {FaultKind::kNak, FaultKind::kBadChecksum, FaultKind::kMissingReply,
                         FaultKind::kLateReply}) {
    rig.AddFault(kind, 0x14, 40);
  }
  ASSERT_EQ(WriteSettingsFrom(rig.ctx, path, {}), Outcome::kDone);
  ExpectBlocks(rig, 0, 95, file, 0);

  Rig failing;
  failing.AddFault(FaultKind::kNak, 0x14, 40, 5);
  EXPECT_EQ(WriteSettingsFrom(failing.ctx, failing.SettingsFile(file, "in.kdta"), {}),
            Outcome::kFailed);
  ExpectBlocks(failing, 0, 39, file, 0);  // blocks written before the failure stay written
  ExpectBlocks(failing, 40, 127, before, 40);
  EXPECT_EQ(failing.engine().Stats().finishes, 0);
  EXPECT_EQ(failing.engine().Stats().closes, 0);

  failing.AddFault(FaultKind::kNak, 0x24, headsim::kAny);  // the finish is not retried
  EXPECT_EQ(WriteSettingsFrom(failing.ctx, failing.File("in.kdta"), {}), Outcome::kFailed);
  EXPECT_EQ(failing.host.MessageIds(),
            (std::vector<ToolText>{ToolText::kCommunicationError, ToolText::kCommunicationError}));
}

TEST(WriteSettings, DialogChoicesAreRememberedAndVerifyReportsTheFirstDifference) {
  Rig rig;
  const auto file = PatternSettings(16, 0x0301);
  const std::string path = rig.SettingsFile(file, "set.kdta");
  rig.host.file_name = rig.File("set");
  EXPECT_EQ(WriteSettings(rig.ctx), Outcome::kNotWanted);  // CANCEL
  EXPECT_EQ(rig.engine().Stats().handshakes, 0);
  rig.host.write_answer = WriteChoices{3, 3, 7, false, false, false};
  ASSERT_EQ(WriteSettings(rig.ctx), Outcome::kDone);
  ExpectBlocks(rig, 21, 23, file, 9);
  rig.host.write_answer.reset();
  EXPECT_EQ(WriteSettings(rig.ctx), Outcome::kNotWanted);
  EXPECT_EQ(rig.host.shown_choices[0], WriteChoices{});
  EXPECT_EQ(rig.host.shown_choices[2], (WriteChoices{3, 3, 7, false, false, false}));
  tool::WriteDialogModel dialog(WriteChoices{});
  dialog.ChooseTargetBank(9);
  dialog.ChooseStartBank(4);  // moves the target with it
  EXPECT_EQ(dialog.Shown().target_bank, 4);

  // --verify: a word the head lost after taking it is found and reported.
  WriteOptions verify;
  verify.verify = true;
  rig.host.on_progress = [&](int position) {
    if (position == 127) rig.Head().settings[30 * kBlockWords + 5] ^= 0x0100;
  };
  EXPECT_EQ(WriteSettingsFrom(rig.ctx, path, {}, verify), Outcome::kFailed);
  EXPECT_EQ(rig.host.MessageIds().back(), ToolText::kVerifyDifference);
  char expected[80];
  std::snprintf(expected, sizeof expected,
                "block 30, word 5 was written as 0x%04X but reads 0x%04X",
                file[30 * kBlockWords + 5], file[30 * kBlockWords + 5] ^ 0x0100);
  EXPECT_NE(rig.host.messages.back().text.find(expected), std::string::npos);
  rig.host.on_progress = nullptr;
  EXPECT_EQ(WriteSettingsFrom(rig.ctx, path, {}, verify), Outcome::kDone);
  // The completion says that the read-back was checked, and of how many blocks.
  EXPECT_EQ(rig.host.messages.back().text,
            "Complete to write all setting values.\nRead back and checked: the 97 written blocks "
            "match.");
}

}  // namespace
}  // namespace kyr::transfer
