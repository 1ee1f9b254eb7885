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
#include "transfer/messages.h"
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

const std::vector<FaultKind> kRandomKinds = {FaultKind::kBadChecksum, FaultKind::kNak,
                                             FaultKind::kShortReply, FaultKind::kMissingReply,
                                             FaultKind::kDroppedLink};
const std::vector<FaultKind> kAllKinds = {FaultKind::kBadChecksum, FaultKind::kNak,
                                          FaultKind::kShortReply,  FaultKind::kMissingReply,
                                          FaultKind::kLateReply,   FaultKind::kDroppedLink};

// Messages a transfer may end with when the link or the head fails it.
std::set<int> FailureMessages() {
  std::set<int> ids = {tool::kMsgWriteUsbFailed, tool::kMsgWritePartial,
                       tool::kMsgCommunicationError};
  for (int code : {link::kNotListed, link::kOpenFailed, link::kWritePartial, link::kWriteFailed,
                   link::kHandshakeBadReply, link::kHandshakeShort, link::kHandshakeReadFailed,
                   link::kNoKyrDevice}) {
    ids.insert(link::LinkMessageId(code));
  }
  return ids;
}

struct Counts {
  int reads_done = 0;
  int reads_failed = 0;
  int writes_done = 0;
  int writes_failed = 0;
  std::map<int, int> failure_messages;
  std::map<FaultKind, int> faults;
  std::int64_t longest_simulated_ms = 0;
  double longest_real_s = 0;
};

void FillHead(Rig& rig, unsigned seed) {
  const auto image = testing::PatternImage(seed, 0x0301);
  std::copy(image.begin(), image.end(), rig.Memory().begin());
}

// Random faults for one transfer: a rate and a mix of kinds, and sometimes on top a late
// reply and a dropped link at chosen blocks. Late replies come one per transfer: replies
// carry no address, so after two late answers in a row a stale one can arrive after the
// drain and nothing on the line tells it from the next block's.
void PlanFaults(Rig& rig, std::mt19937& random, std::uint8_t command, int blocks) {
  static const int kRates[] = {0, 5, 20, 60, 150, 400};
  std::vector<FaultKind> kinds;
  while (kinds.empty()) {
    for (FaultKind kind : kRandomKinds) {
      if (random() % 2 == 0) kinds.push_back(kind);
    }
  }
  const int rate = kRates[random() % std::size(kRates)];
  rig.engine().Faults().SetRandom(static_cast<std::uint32_t>(random()), rate, kinds);
  const auto at_random_block = [&](FaultKind kind) {
    headsim::FaultRule rule;
    rule.kind = kind;
    rule.command = command;
    rule.block = static_cast<int>(random() % static_cast<unsigned>(blocks));
    rule.delay_ms = static_cast<std::int64_t>(100 + random() % 1900);
    rig.engine().Faults().Add(rule);
  };
  if (random() % 3 == 0) at_random_block(FaultKind::kLateReply);
  if (random() % 4 == 0) at_random_block(FaultKind::kDroppedLink);
}

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

// Only the files the test put there: no temporary file left behind.
std::vector<std::string> FilesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Adds the faults the head committed, and checks the transfer ended in bounded time.
void Tally(Rig& rig, Counts& counts) {
  for (FaultKind kind : kAllKinds) counts.faults[kind] += rig.engine().Faults().Fired(kind);
  const std::int64_t micros = rig.time.NowMicros();
  EXPECT_LT(micros, kMaxSimulatedMicros);
  counts.longest_simulated_ms = std::max(counts.longest_simulated_ms, micros / 1000);
}

// The messages after the overwrite question (answered Yes when there was a file).
std::vector<int> MessagesAfterQuestion(const Rig& rig) {
  std::vector<int> ids = rig.host.MessageIds();
  if (!ids.empty() && ids.front() == tool::kMsgFileExists) ids.erase(ids.begin());
  return ids;
}

void ExpectOneFailureMessage(const Rig& rig, Counts& counts) {
  static const std::set<int> allowed = FailureMessages();
  const std::vector<int> ids = MessagesAfterQuestion(rig);
  ASSERT_EQ(ids.size(), 1u);
  const int id = ids[0];
  EXPECT_TRUE(allowed.count(id)) << "message " << id;
  ++counts.failure_messages[id];
}

void SoakRead(std::mt19937& random, int n, Counts& counts) {
  Rig rig;
  FillHead(rig, static_cast<unsigned>(random()));
  const std::string path = rig.File("read.kdta");
  std::string old_text;
  if (random() % 2 == 0) {
    old_text = settings::FormatSettingsText(
        testing::PatternImage(static_cast<unsigned>(random()), 0x0301));
    WriteAll(path, old_text);
    rig.host.answers = {tool::Answer::Yes};
  }
  PlanFaults(rig, random, 0x10, kReadBlocks);
  auto& ctx = rig.ctx;
  const int result = ReadAllSettingsTo(ctx, path);
  SCOPED_TRACE("read transfer " + std::to_string(n));
  if (result == kTransferDone) {
    ++counts.reads_done;
    ASSERT_EQ(MessagesAfterQuestion(rig), std::vector<int>{kMsgReadComplete});
    EXPECT_EQ(Difference(ReadAll(path), settings::FormatSettingsText(rig.Image())), "");
  } else {
    ++counts.reads_failed;
    EXPECT_EQ(result, kTransferFailed);
    ExpectOneFailureMessage(rig, counts);
    if (old_text.empty()) {
      EXPECT_FALSE(std::filesystem::exists(path));
    } else {
      EXPECT_EQ(Difference(ReadAll(path), old_text), "");
    }
  }
  const std::vector<std::string> expected = result == kTransferDone || !old_text.empty()
                                                ? std::vector<std::string>{"read.kdta"}
                                                : std::vector<std::string>{};
  EXPECT_EQ(FilesIn(rig.folder), expected);
  Tally(rig, counts);
}

void SoakWrite(std::mt19937& random, int n, Counts& counts) {
  Rig rig;
  FillHead(rig, static_cast<unsigned>(random()));
  const settings::SettingsImage before = rig.Image();
  const auto file = testing::PatternImage(static_cast<unsigned>(random()), 0x0301);
  const std::string path = rig.File("write.kdta");
  const std::string text = settings::FormatSettingsText(file);
  WriteAll(path, text);
  PlanFaults(rig, random, 0x14, 128);
  auto& ctx = rig.ctx;
  const int result = WriteSettingsFrom(ctx, path, tool::WriteChoices{});
  SCOPED_TRACE("write transfer " + std::to_string(n));
  // Blocks 0 to 95 (the banks) and 127 (the common settings) are written; the rest never.
  const auto written_block = [](int block) { return block < 96 || block == 127; };
  for (int block = 0; block < 128; ++block) {
    const auto first = static_cast<std::size_t>(block * kWriteBlockWords);
    const auto word = [&](const auto& image, std::size_t k) { return image[first + k]; };
    bool is_file = true;
    bool is_before = true;
    for (std::size_t k = 0; k < kWriteBlockWords; ++k) {
      is_file = is_file && word(rig.Memory(), k) == word(file, k);
      is_before = is_before && word(rig.Memory(), k) == word(before, k);
    }
    if (result == kTransferDone && written_block(block)) {
      ASSERT_TRUE(is_file) << "block " << block;
    } else if (!written_block(block)) {
      ASSERT_TRUE(is_before) << "block " << block;
    } else {
      ASSERT_TRUE(is_file || is_before) << "block " << block << " half written";
    }
  }
  if (result == kTransferDone) {
    ++counts.writes_done;
    EXPECT_EQ(rig.host.MessageIds(), std::vector<int>{kMsgWriteComplete});
  } else {
    ++counts.writes_failed;
    EXPECT_EQ(result, kTransferFailed);
    ExpectOneFailureMessage(rig, counts);
  }
  EXPECT_EQ(Difference(ReadAll(path), text), "");
  EXPECT_EQ(FilesIn(rig.folder), std::vector<std::string>{"write.kdta"});
  Tally(rig, counts);
}

const char* KindName(FaultKind kind) {
  switch (kind) {
    case FaultKind::kBadChecksum:
      return "bad checksum";
    case FaultKind::kNak:
      return "refusal (NAK)";
    case FaultKind::kShortReply:
      return "short reply";
    case FaultKind::kMissingReply:
      return "missing reply";
    case FaultKind::kLateReply:
      return "late reply";
    case FaultKind::kDroppedLink:
      return "dropped link";
    default:
      return "none";
  }
}

void Print(const Counts& c) {
  std::printf("soak: %d settings transfers\n", kTransfers);
  std::printf("  read all settings: %d complete, %d failed\n", c.reads_done, c.reads_failed);
  std::printf("  write settings:    %d complete, %d failed\n", c.writes_done, c.writes_failed);
  for (const auto& [id, count] : c.failure_messages) {
    std::printf("  failure message %d: %d\n", id, count);
  }
  for (const auto& [kind, count] : c.faults)
    std::printf("  faults, %s: %d\n", KindName(kind), count);
  std::printf("  longest transfer: %lld ms simulated, %.3f s real\n",
              static_cast<long long>(c.longest_simulated_ms), c.longest_real_s);
}

TEST(Soak, SettingsTransfersUnderRandomFaultsCompleteExactlyOrFailWithTheirMessage) {
  const char* chosen = std::getenv("KYR_SOAK_SEED");  // another run: KYR_SOAK_SEED=n
  const auto seed = chosen != nullptr
                        ? static_cast<std::uint32_t>(std::strtoul(chosen, nullptr, 10))
                        : std::uint32_t{20261207};
  std::mt19937 random(seed);
  std::printf("soak seed %u\n", static_cast<unsigned>(seed));
  Counts counts;
  for (int n = 0; n < kTransfers && !HasFatalFailure(); ++n) {
    const auto started = std::chrono::steady_clock::now();
    if (n % 2 == 0) {
      SoakRead(random, n, counts);
    } else {
      SoakWrite(random, n, counts);
    }
    const double real_s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    counts.longest_real_s = std::max(counts.longest_real_s, real_s);
    EXPECT_LT(real_s, kMaxRealSeconds) << "transfer " << n;
  }
  Print(counts);
  EXPECT_GT(counts.reads_done, 0);
  EXPECT_GT(counts.reads_failed, 0);
  EXPECT_GT(counts.writes_done, 0);
  EXPECT_GT(counts.writes_failed, 0);
}

}  // namespace
}  // namespace kyr::transfer
