#pragma once
// What the soaks of the settings and the image transfers share: the random faults of one
// transfer, the failure messages a transfer may end with, the counts, their summary and the
// seed of a run.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <span>
#include <vector>

#include "common/fault_rule.h"
#include "headsim/faults.h"
#include "link/result_codes.h"
#include "tool/messages.h"

namespace kyr::soak {

using headsim::FaultKind;

// Drawn at random for every reply; a late reply is planned on its own, one per transfer.
inline const std::vector<FaultKind> kRandomKinds = {
    FaultKind::kBadChecksum, FaultKind::kNak, FaultKind::kShortReply, FaultKind::kMissingReply,
    FaultKind::kDroppedLink};
inline const std::vector<FaultKind> kOutOfStepKinds = {
    FaultKind::kDuplicateReply, FaultKind::kStrayBytes, FaultKind::kSplitReply};
inline const std::vector<FaultKind> kAllKinds = {
    FaultKind::kBadChecksum,    FaultKind::kNak,        FaultKind::kShortReply,
    FaultKind::kMissingReply,   FaultKind::kLateReply,  FaultKind::kDroppedLink,
    FaultKind::kDuplicateReply, FaultKind::kStrayBytes, FaultKind::kSplitReply};

struct Counts {
  int reads_done = 0;
  int reads_failed = 0;
  int writes_done = 0;
  int writes_failed = 0;
  std::map<ToolText, int> failure_messages;
  std::map<FaultKind, int> faults;
  std::int64_t longest_simulated_ms = 0;
  double longest_real_s = 0;
};

// Random faults for one transfer: a rate (per mille) drawn from `rates` and a mix of kinds,
// and sometimes on top a late reply and a dropped link at a block of `command` below
// `blocks`. Late replies come one per transfer: replies carry no address, so after two late
// answers in a row a stale one can arrive after the drain and nothing on the line tells it
// from the next block's.
inline void PlanFaults(headsim::FaultPlan& plan, std::mt19937& random, std::span<const int> rates,
                       std::uint8_t command, int blocks) {
  std::vector<FaultKind> kinds;
  while (kinds.empty()) {
    for (FaultKind kind : kRandomKinds) {
      if (random() % 2 == 0) kinds.push_back(kind);
    }
  }
  const int rate = rates[random() % rates.size()];
  plan.SetRandom(static_cast<std::uint32_t>(random()), rate, kinds);
  const auto at_random_block = [&](FaultKind kind, std::int64_t delay_ms) {
    const auto block = static_cast<int>(random() % static_cast<unsigned>(blocks));
    plan.Add(test_common::Fault(kind, command, block, 1, delay_ms));
  };
  const auto some_delay = [&] { return static_cast<std::int64_t>(100 + random() % 1900); };
  if (random() % 3 == 0) at_random_block(FaultKind::kLateReply, some_delay());
  if (random() % 4 == 0) at_random_block(FaultKind::kDroppedLink, some_delay());
  // A reply out of step: sent twice, followed by noise or cut in two, often at once.
  if (random() % 2 == 0) {
    const FaultKind kind = kOutOfStepKinds[random() % kOutOfStepKinds.size()];
    at_random_block(kind,
                    random() % 2 == 0 ? static_cast<std::int64_t>(random() % 10) : some_delay());
  }
}

// Messages a transfer may end with when the link or the head fails it.
inline std::set<ToolText> FailureMessages() {
  std::set<ToolText> ids = {ToolText::kWriteUsbFailed, ToolText::kWritePartial,
                            ToolText::kCommunicationError};
  using enum link::LinkResult;
  for (link::LinkResult result :
       {kNotListed, kOpenFailed, kWritePartial, kWriteFailed, kHandshakeBadReply, kHandshakeShort,
        kHandshakeReadFailed, kNoKyrDevice}) {
    ids.insert(link::LinkMessageId(result));
  }
  return ids;
}

// The messages shown after the question that precedes a transfer (answered Yes).
inline std::vector<ToolText> AfterQuestion(std::vector<ToolText> ids, ToolText question) {
  if (!ids.empty() && ids.front() == question) ids.erase(ids.begin());
  return ids;
}

inline void ExpectOneFailureMessage(const std::vector<ToolText>& ids, Counts& counts) {
  static const std::set<ToolText> allowed = FailureMessages();
  ASSERT_EQ(ids.size(), 1u);
  EXPECT_TRUE(allowed.count(ids[0])) << "message " << ::testing::PrintToString(ids[0]);
  ++counts.failure_messages[ids[0]];
}

// Adds the faults the head committed, and checks that the transfer ended within
// `max_micros` of simulated time.
inline void Tally(const headsim::FaultPlan& plan, std::int64_t now_micros, std::int64_t max_micros,
                  Counts& counts) {
  for (FaultKind kind : kAllKinds) counts.faults[kind] += plan.Fired(kind);
  EXPECT_LT(now_micros, max_micros);
  counts.longest_simulated_ms = std::max(counts.longest_simulated_ms, now_micros / 1000);
}

inline const char* KindName(FaultKind kind) {
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
    case FaultKind::kDuplicateReply:
      return "reply sent twice";
    case FaultKind::kStrayBytes:
      return "noise after a reply";
    case FaultKind::kSplitReply:
      return "reply in two pieces";
    default:
      return "none";
  }
}

// KYR_SOAK_SEED=n runs another sequence; the seed is printed so that a run can be repeated.
inline std::uint32_t Seed(std::uint32_t fallback) {
  const char* chosen = std::getenv("KYR_SOAK_SEED");
  const auto seed =
      chosen != nullptr ? static_cast<std::uint32_t>(std::strtoul(chosen, nullptr, 10)) : fallback;
  std::printf("soak seed %u\n", static_cast<unsigned>(seed));
  return seed;
}

// The counts under `heading`; `read` and `write` name the two operations, padded alike.
inline void Print(const Counts& c, const char* heading, const char* read, const char* write) {
  std::printf("%s\n", heading);
  std::printf("  %s %d complete, %d failed\n", read, c.reads_done, c.reads_failed);
  std::printf("  %s %d complete, %d failed\n", write, c.writes_done, c.writes_failed);
  for (const auto& [id, count] : c.failure_messages) {
    std::printf("  failure message %s (%d): %d\n", std::string(TextName(id)).c_str(),
                TextNumber(id), count);
  }
  for (const auto& [kind, count] : c.faults) {
    std::printf("  faults, %s: %d\n", KindName(kind), count);
  }
  std::printf("  longest transfer: %lld ms simulated, %.3f s real\n",
              static_cast<long long>(c.longest_simulated_ms), c.longest_real_s);
}

// Runs `transfers` transfers, reads and writes in turn, each bounded in real time so that a
// hang shows as a failure rather than a stuck suite.
template <typename Read, typename Write>
void RunAlternating(int transfers, double max_real_seconds, Counts& counts, Read read,
                    Write write) {
  for (int n = 0; n < transfers && !::testing::Test::HasFatalFailure(); ++n) {
    const auto started = std::chrono::steady_clock::now();
    if (n % 2 == 0) {
      read(n);
    } else {
      write(n);
    }
    const double real_s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    counts.longest_real_s = std::max(counts.longest_real_s, real_s);
    EXPECT_LT(real_s, max_real_seconds) << "transfer " << n;
  }
}

}  // namespace kyr::soak
