// Soak: many settings transfers against the simulated head unit while it commits random
// faults (bad checksums, refusals, short, missing and late replies, a dropped link at any
// block). Each transfer must either complete with exactly the head's data or fail with one
// of the failure messages; a file under the chosen name is never half-written; nothing hangs.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "link/result_codes.h"
#include "settings/settings_file.h"
#include "soak_support.h"
#include "tool/messages.h"
#include "transfer/transfer.h"
#include "transfer/transfer_rig.h"

namespace kyr::transfer {
namespace {

using headsim::FaultKind;
using testing::ReadAll;
using testing::Rig;
using testing::WriteAll;

constexpr int kTransfers = 1000;
constexpr int kReadBlocks = 64;
constexpr int kWriteBlockWords = 64;
constexpr std::int64_t kMaxSimulatedMicros = 10LL * 60 * 1000 * 1000;  // ten minutes
constexpr double kMaxRealSeconds = 5.0;

// "" when equal, else where the texts first differ (whole settings texts are too long to print).
std::string Difference(const std::string& actual, const std::string& expected) {
  if (actual == expected) return "";
  const auto at = static_cast<std::size_t>(
      std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end()).first -
      actual.begin());
  return "sizes " + std::to_string(actual.size()) + " and " + std::to_string(expected.size()) +
         ", first difference in line " + std::to_string(at / 82 + 1) + " column " +
         std::to_string(at % 82 + 1);
}

// The messages after the overwrite question (answered Yes when there was a file).
std::vector<ToolText> MessagesAfterQuestion(const Rig& rig) {
  return soak::AfterQuestion(rig.host.MessageIds(), ToolText::kFileExists);
}

// Random faults for one transfer of `blocks` blocks of `command`.
void PlanFaults(Rig& rig, std::mt19937& random, std::uint8_t command, int blocks) {
  static const int kRates[] = {0, 5, 20, 60, 150, 400};
  soak::PlanFaults(rig.Faults(), random, kRates, command, blocks);
}

void Tally(Rig& rig, soak::Counts& counts) {
  soak::Tally(rig.Faults(), rig.time.NowMicros(), kMaxSimulatedMicros, counts);
}

void SoakRead(std::mt19937& random, int n, soak::Counts& counts) {
  Rig rig;
  rig.Head().settings = testing::PatternSettings(static_cast<unsigned>(random()));
  const std::string path = rig.File("read.kdta");
  std::string old_text;
  if (random() % 2 == 0) {
    old_text = settings::FormatSettingsText(
        testing::PatternSettings(static_cast<unsigned>(random()), 0x0301));
    WriteAll(path, old_text);
    rig.host.answers = {tool::Answer::Yes};
  }
  PlanFaults(rig, random, 0x10, kReadBlocks);
  auto& ctx = rig.ctx;
  const auto result = ReadAllSettingsTo(ctx, path);
  SCOPED_TRACE("read transfer " + std::to_string(n));
  if (result == Outcome::kDone) {
    ++counts.reads_done;
    ASSERT_EQ(MessagesAfterQuestion(rig), std::vector<ToolText>{ToolText::kSettingsReadComplete});
    EXPECT_EQ(Difference(ReadAll(path), settings::FormatSettingsText(rig.Settings())), "");
  } else {
    ++counts.reads_failed;
    EXPECT_EQ(result, Outcome::kFailed);
    soak::ExpectOneFailureMessage(MessagesAfterQuestion(rig), counts);
    if (old_text.empty()) {
      EXPECT_FALSE(std::filesystem::exists(path));
    } else {
      EXPECT_EQ(Difference(ReadAll(path), old_text), "");
    }
  }
  const std::vector<std::string> expected = result == Outcome::kDone || !old_text.empty()
                                                ? std::vector<std::string>{"read.kdta"}
                                                : std::vector<std::string>{};
  EXPECT_EQ(rig.temp.Names(), expected);  // no temporary file left behind
  Tally(rig, counts);
}

void SoakWrite(std::mt19937& random, int n, soak::Counts& counts) {
  Rig rig;
  rig.Head().settings = testing::PatternSettings(static_cast<unsigned>(random()));
  const settings::SettingsImage before = rig.Settings();
  const auto file = testing::PatternSettings(static_cast<unsigned>(random()), 0x0301);
  const std::string path = rig.File("write.kdta");
  const std::string text = settings::FormatSettingsText(file);
  WriteAll(path, text);
  PlanFaults(rig, random, 0x14, 128);
  auto& ctx = rig.ctx;
  const auto result = WriteSettingsFrom(ctx, path, tool::WriteChoices{});
  SCOPED_TRACE("write transfer " + std::to_string(n));
  // Blocks 0 to 95 (the banks) and 127 (the common settings) are written; the rest never.
  const auto written_block = [](int block) { return block < 96 || block == 127; };
  for (int block = 0; block < 128; ++block) {
    const auto first = static_cast<std::size_t>(block * kWriteBlockWords);
    const auto word = [&](const auto& image, std::size_t k) { return image[first + k]; };
    bool is_file = true;
    bool is_before = true;
    for (std::size_t k = 0; k < kWriteBlockWords; ++k) {
      is_file = is_file && word(rig.Head().settings, k) == word(file, k);
      is_before = is_before && word(rig.Head().settings, k) == word(before, k);
    }
    if (result == Outcome::kDone && written_block(block)) {
      ASSERT_TRUE(is_file) << "block " << block;
    } else if (!written_block(block)) {
      ASSERT_TRUE(is_before) << "block " << block;
    } else {
      ASSERT_TRUE(is_file || is_before) << "block " << block << " half written";
    }
  }
  if (result == Outcome::kDone) {
    ++counts.writes_done;
    EXPECT_EQ(rig.host.MessageIds(), std::vector<ToolText>{ToolText::kSettingsWriteComplete});
  } else {
    ++counts.writes_failed;
    EXPECT_EQ(result, Outcome::kFailed);
    soak::ExpectOneFailureMessage(MessagesAfterQuestion(rig), counts);
  }
  EXPECT_EQ(Difference(ReadAll(path), text), "");
  EXPECT_EQ(rig.temp.Names(), std::vector<std::string>{"write.kdta"});
  Tally(rig, counts);
}

TEST(Soak, SettingsTransfersUnderRandomFaultsCompleteExactlyOrFailWithTheirMessage) {
  std::mt19937 random(soak::Seed(20261207));
  soak::Counts counts;
  soak::RunAlternating(
      kTransfers, kMaxRealSeconds, counts, [&](int n) { SoakRead(random, n, counts); },
      [&](int n) { SoakWrite(random, n, counts); });
  const std::string heading = "soak: " + std::to_string(kTransfers) + " settings transfers";
  soak::Print(counts, heading.c_str(), "read all settings:", "write settings:   ");
  EXPECT_GT(counts.reads_done, 0);
  EXPECT_GT(counts.reads_failed, 0);
  EXPECT_GT(counts.writes_done, 0);
  EXPECT_GT(counts.writes_failed, 0);
}

}  // namespace
}  // namespace kyr::transfer
