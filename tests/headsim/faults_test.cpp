#include <gtest/gtest.h>

#include "common/fault_rule.h"
#include "headsim/faults.h"
#include "headsim/head_exchange.h"

namespace kyr::headsim {
namespace {

using test_common::Fault;
using testing::Bytes;
using testing::Command;
using testing::DataFrame;
using testing::HeadExchange;
using testing::Join;
using testing::ParseReplies;

const Bytes kAckFrame = {0x06, 0x00, 0xF9};
const Bytes kNakFrame = {0x15, 0x00, 0xEA};

Bytes ReadBlock(int b) {
  return Command({0x10, 0x00, b, 0x00, 0x80, 0x00});
}

TEST(Faults, EachKindBendsOnlyTheChosenReply) {
  HeadExchange head;
  FaultPlan& plan = head.engine().Faults();
  plan.Add(Fault(FaultKind::kBadChecksum, 0x10, 10));
  plan.Add(Fault(FaultKind::kShortReply, 0x10, 11));
  plan.Add(Fault(FaultKind::kMissingReply, 0x10, 12));
  plan.Add(Fault(FaultKind::kNak, 0x10, 13));

  EXPECT_TRUE(ParseReplies(head.Send(ReadBlock(9)))[0].well_formed);

  const Bytes bad = head.Send(ReadBlock(10));
  ASSERT_EQ(bad.size(), 259u);
  EXPECT_FALSE(ParseReplies(bad)[0].well_formed);
  EXPECT_EQ(bad[0], 0x06);

  const Bytes short_reply = head.Send(ReadBlock(11));
  EXPECT_GT(short_reply.size(), 2u);
  EXPECT_LT(short_reply.size(), 259u);

  EXPECT_TRUE(head.Send(ReadBlock(12)).empty());
  EXPECT_EQ(head.Send(ReadBlock(13)), kNakFrame);

  // Each rule fired once: the same blocks asked again are answered properly.
  for (int b = 10; b <= 13; ++b) {
    const auto replies = ParseReplies(head.Send(ReadBlock(b)));
    ASSERT_EQ(replies.size(), 1u) << b;
    EXPECT_TRUE(replies[0].well_formed) << b;
  }
  EXPECT_EQ(plan.Fired(FaultKind::kShortReply), 1);
}

TEST(Faults, LateReplyArrivesOnlyAfterItsDelayAndHoldsBackWhatFollows) {
  HeadExchange head;
  FaultRule late = Fault(FaultKind::kLateReply, 0x10, 3);
  late.delay_ms = 1500;
  head.engine().Faults().Add(late);
  EXPECT_TRUE(head.Send(ReadBlock(3)).empty());
  EXPECT_TRUE(head.Send({0x55, 0x8C}).empty());  // queued behind the late reply
  head.clock().AdvanceMillis(1499);
  EXPECT_TRUE(head.Collect().empty());
  ASSERT_TRUE(head.engine().NextReleaseMicros().has_value());
  head.clock().AdvanceMillis(1);
  const Bytes both = head.Collect();
  ASSERT_EQ(both.size(), 259u + 2u);
  EXPECT_TRUE(ParseReplies(Bytes(both.begin(), both.begin() + 259))[0].well_formed);
  EXPECT_EQ(both[259], 0x8C);
  EXPECT_FALSE(head.engine().NextReleaseMicros().has_value());
}

TEST(Faults, WritesRefusedOrLostAsTheFaultSays) {
  HeadExchange head;
  FaultPlan& plan = head.engine().Faults();
  std::vector<std::uint16_t> words(64, 0x5A5A);
  auto write_block = [&](int j) {
    return Join(Command({0x14, (j * 128) & 0xFF, (j * 128) >> 8, 0, 0x40, 0}), DataFrame(words));
  };
  // A refused write is not carried out; a write whose acknowledge is lost is.
  plan.Add(Fault(FaultKind::kNak, 0x14, 2));
  plan.Add(Fault(FaultKind::kMissingReply, 0x14, 3));
  const std::uint16_t before = head.engine().Head(0).settings[2 * 64];
  EXPECT_EQ(head.Send(write_block(2)), kNakFrame);
  EXPECT_EQ(head.engine().Head(0).settings[2 * 64], before);
  EXPECT_TRUE(head.Send(write_block(3)).empty());
  EXPECT_EQ(head.engine().Head(0).settings[3 * 64], 0x5A5A);

  // A fault on the finish command and on the image write acknowledge.
  plan.Add(Fault(FaultKind::kBadChecksum, 0x24, kAny));
  const auto finish = ParseReplies(head.Send(Command({0x24, 0xFF, 0x6A, 0, 0, 0})));
  ASSERT_EQ(finish.size(), 1u);
  EXPECT_FALSE(finish[0].well_formed);
  plan.Add(Fault(FaultKind::kNak, 0x1C, 7));
  std::vector<std::uint16_t> block(128, 1);
  EXPECT_EQ(head.Send(Join(Command({0x1C, 0, 7, 16, 0x80, 0}), DataFrame(block))), kNakFrame);
  EXPECT_FALSE(head.engine().Head(0).IsImageStored(ImageKind::kBank, 0));
  EXPECT_EQ(head.Send(Join(Command({0x1C, 0, 7, 16, 0x80, 0}), DataFrame(block))), kAckFrame);
}

TEST(Faults, OneBlockOfAMultiReplyReadAndSkipCounts) {
  HeadExchange head;
  FaultRule rule = Fault(FaultKind::kBadChecksum, 0x18, 37);
  rule.skip = 1;  // the first request of block 37 goes through
  head.engine().Faults().Add(rule);
  const Bytes request = Command({0x18, 0x00, 32, 16, 0x80, 31});  // bank 0, blocks 32-63
  for (int attempt = 0; attempt < 2; ++attempt) {
    const auto replies = ParseReplies(head.Send(request));
    ASSERT_EQ(replies.size(), 32u);
    for (int l = 0; l < 32; ++l) {
      EXPECT_EQ(replies[l].well_formed, attempt == 0 || l != 5) << attempt << " " << l;
    }
  }
}

TEST(Faults, DroppedLinkSilencesTheHeadUntilReconnected) {
  HeadExchange head;
  head.engine().Faults().Add(Fault(FaultKind::kDroppedLink, 0x10, 1));
  // The drop in the middle of a three-reply read: the first reply still went out.
  const Bytes out = head.Send(Command({0x10, 0x00, 0x00, 0x00, 0x80, 2}));
  EXPECT_EQ(ParseReplies(out).size(), 1u);
  EXPECT_TRUE(head.engine().IsLinkDropped());
  EXPECT_TRUE(head.Send({0x55, 0x8C}).empty());
  head.engine().Reconnect();
  EXPECT_EQ(head.Send({0x55, 0x8C}), (Bytes{0x8C, 0x73}));
}

TEST(Faults, HandshakeAndMonitorFaults) {
  HeadExchange head;
  FaultPlan& plan = head.engine().Faults();
  plan.Add(Fault(FaultKind::kBadChecksum, kHandshakeCommand, kAny));
  plan.Add(Fault(FaultKind::kShortReply, kHandshakeCommand, kAny));
  const Bytes wrong = head.Send({0x55, 0x8C});
  ASSERT_EQ(wrong.size(), 2u);
  EXPECT_NE(wrong, (Bytes{0x8C, 0x73}));
  EXPECT_EQ(head.Send({0x55, 0x8C}).size(), 1u);

  plan.Add(Fault(FaultKind::kBadChecksum, kMonitorCommand, 4));
  plan.Add(Fault(FaultKind::kMissingReply, kMonitorCommand, 5));
  const Bytes part4 = head.Send({0x55, 0xC8, 0, 0, 0, 4});
  ASSERT_EQ(part4.size(), 32770u);
  EXPECT_NE(part4[1], 4);  // the tool must see a wrong header
  EXPECT_TRUE(head.Send({0x55, 0xC8, 0, 0, 0, 5}).empty());
}

TEST(Faults, RandomModeRepeatsForTheSameSeed) {
  auto run = [](std::uint32_t seed) {
    HeadExchange head;
    head.engine().Faults().SetRandom(seed, 300,
                                     {FaultKind::kBadChecksum, FaultKind::kNak,
                                      FaultKind::kShortReply, FaultKind::kMissingReply});
    std::vector<std::size_t> sizes;
    for (int b = 0; b < 64; ++b) {
      sizes.push_back(head.Send(ReadBlock(b)).size());
      head.engine().ResetLine();
    }
    return sizes;
  };
  const auto first = run(42);
  EXPECT_EQ(first, run(42));
  EXPECT_NE(first, run(43));
  const auto bent =
      std::count_if(first.begin(), first.end(), [](std::size_t n) { return n != 259; });
  EXPECT_GT(bent, 5);  // about 30 % of 64
  EXPECT_LT(bent, 40);
}

}  // namespace
}  // namespace kyr::headsim
