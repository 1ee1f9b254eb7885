#include <gtest/gtest.h>

#include "link/frames.h"
#include "link/link.h"
#include "link/protocol.h"
#include "link/result_codes.h"
#include "link_fakes.h"

namespace kyr::link {
namespace {

using testing::Bytes;
using testing::ChannelScript;
using testing::FakeChannel;
using enum LinkResult;

// A link in `mode` over a scripted channel.
struct Wired {
  std::shared_ptr<ChannelScript> line = std::make_shared<ChannelScript>();
  Link link{LinkEnvironment{}};
  explicit Wired(LinkMode mode = LinkMode::Usb) {
    link.Attach(std::make_unique<FakeChannel>(line), mode);
  }
};

Bytes Reply(const Bytes& words_bytes) {
  Bytes reply = {kAck, static_cast<std::uint8_t>(words_bytes.size() / 2)};
  reply.insert(reply.end(), words_bytes.begin(), words_bytes.end());
  reply.push_back(Checksum(reply.data(), reply.size()));
  return reply;
}

TEST(Frames, ChecksumsAndFixedFramesOnTheWire) {
  Wired w;
  const auto query = QueryHeadsCommand();
  EXPECT_EQ(w.link.SendFrame(query.data(), query.size()), FrameResult::kSent);
  const auto read = MakeCommand(0x11, 0x3F80, 1, 0);
  EXPECT_EQ(w.link.SendFrame(read.data(), read.size()), FrameResult::kSent);
  EXPECT_EQ(w.link.SendClosingFrame(), kOk);
  ASSERT_EQ(w.line->writes.size(), 3u);
  EXPECT_EQ(w.line->writes[0], (Bytes{0xFB, 0, 0, 0, 0, 0, 0x04}));
  // Address low byte first; the whole frame sums to FF.
  EXPECT_EQ(w.line->writes[1], (Bytes{0x11, 0x80, 0x3F, 0x00, 0x01, 0x00, 0x2E}));
  EXPECT_EQ(w.line->writes[2], (Bytes{0xFE, 0x8C, 0x73, 0, 0, 0, 0x02}));
  EXPECT_TRUE(SumIsValid(w.line->writes[2].data(), 7));

  // The largest body goes out whole; one byte more is refused without writing anything.
  Bytes body(kMaxFrameBody + 1, 0xAA);
  EXPECT_EQ(w.link.SendFrame(body.data(), kMaxFrameBody), FrameResult::kSent);
  EXPECT_EQ(w.line->writes.back().size(), kMaxFrameBody + 1);
  EXPECT_TRUE(SumIsValid(w.line->writes.back().data(), kMaxFrameBody + 1));
  const auto writes = w.line->writes.size();
  EXPECT_EQ(w.link.SendFrame(body.data(), body.size()), FrameResult::kFailed);
  EXPECT_EQ(w.line->writes.size(), writes);

  w.line->write_limit = 3;
  EXPECT_EQ(w.link.SendFrame(read.data(), read.size()), FrameResult::kPartial);
  EXPECT_EQ(w.link.SendClosingFrame(), kWritePartial);
  w.line->fail_write = true;
  EXPECT_EQ(w.link.SendFrame(read.data(), read.size()), FrameResult::kFailed);
  EXPECT_EQ(w.link.SendClosingFrame(), kWriteFailed);
}

TEST(Replies, WordsAndEveryResultCode) {
  Wired w;
  ReplyWords words{};
  w.line->Queue({0x06, 0x00, 0xF9});  // empty acknowledge
  EXPECT_EQ(w.link.ReceiveReply(words), WordsReply(0));

  w.line->Queue(Reply({0x34, 0x12, 0xFF, 0x00}));
  EXPECT_EQ(w.link.ReceiveReply(words), WordsReply(2));
  EXPECT_EQ(words[0], 0x1234);
  EXPECT_EQ(words[1], 0x00FF);
  EXPECT_EQ(w.line->read_requests.back(), 5u);  // 2 N + 1 in one read after the header

  // The largest reply: 255 words.
  Bytes many(2 * kMaxReplyWords);
  for (std::size_t i = 0; i < many.size(); ++i) many[i] = static_cast<std::uint8_t>(i * 7);
  w.line->Queue(Reply(many));
  EXPECT_EQ(w.link.ReceiveReply(words), WordsReply(255));
  EXPECT_EQ(words[254], (many[509] << 8) | many[508]);

  Bytes off = Reply({0x78, 0x56});
  off.back() = static_cast<std::uint8_t>(off.back() + 1);
  w.line->Queue(off);
  words[0] = 0;
  EXPECT_EQ(w.link.ReceiveReply(words), (ReplyResult{ReplyFault::kBadChecksum, 1}));
  EXPECT_EQ(words[0], 0x5678);  // stored all the same

  w.line->incoming.clear();
  w.line->read_requests.clear();
  w.line->Queue({0x15, 0x02, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE});
  EXPECT_EQ(w.link.ReceiveReply(words), ReplyResult{ReplyFault::kNotAck});
  EXPECT_EQ(w.line->read_requests, (std::vector<std::size_t>{2}));  // nothing read after it

  w.line->incoming.clear();
  w.line->Queue({0x06});
  EXPECT_EQ(w.link.ReceiveReply(words), ReplyResult{ReplyFault::kShortHeader});
  w.line->Queue({0x06, 0x03, 0x01, 0x02});
  EXPECT_EQ(w.link.ReceiveReply(words), ReplyResult{ReplyFault::kShortBody});

  w.line->incoming.clear();
  w.line->Queue({0x06, 0x01});
  w.line->good_reads = w.line->read_requests.size() + 1;  // the header, then a failure
  EXPECT_EQ(w.link.ReceiveReply(words), ReplyResult{ReplyFault::kReadFailed});
  EXPECT_EQ(w.link.ReceiveReply(words), ReplyResult{ReplyFault::kReadFailed});
}

TEST(Handshake, EveryOutcome) {
  struct Case {
    Bytes answer;
    bool fail_write, fail_read;
    std::size_t write_limit;
    LinkResult expected;
  };
  const Case cases[] = {
      {{0x8C, 0x73}, false, false, SIZE_MAX, kOk},
      {{0x8C, 0x53}, false, false, SIZE_MAX, kHandshakeBadReply},
      {{0x8C}, false, false, SIZE_MAX, kHandshakeShort},
      {{}, false, true, SIZE_MAX, kHandshakeReadFailed},
      {{0x8C, 0x73}, true, false, SIZE_MAX, kWriteFailed},
      {{0x8C, 0x73}, false, false, 1, kWritePartial},
  };
  for (const auto& c : cases) {
    Wired w;
    w.line->Queue(c.answer);
    w.line->fail_write = c.fail_write;
    if (c.fail_read) w.line->good_reads = 0;
    w.line->write_limit = c.write_limit;
    EXPECT_EQ(w.link.Handshake(), c.expected);
    if (!c.fail_write && c.write_limit > 2) {
      EXPECT_EQ(w.line->Written(), (Bytes{0x55, 0x8C}));
    }
  }
}

TEST(QueryHead, PresenceBytesAndFailures) {
  // Words 3 and 4 carry heads 0 to 2 as bytes 6, 7, 8 of the data.
  const Bytes data = {1, 0, 2, 0, 3, 0, 0x01, 0x00, 0xFF, 0x00};
  for (int h = 0; h < 3; ++h) {
    Wired w;
    w.line->Queue(Reply(data));
    EXPECT_EQ(w.link.QueryHead(h), data[6 + h]) << h;
    EXPECT_EQ(w.line->Written(), (Bytes{0xFB, 0, 0, 0, 0, 0, 0x04}));
  }
  Wired wrong_count;
  wrong_count.line->Queue(Reply({1, 0, 2, 0}));
  EXPECT_EQ(wrong_count.link.QueryHead(0), -1);
  Wired no_write;
  no_write.line->fail_write = true;
  no_write.line->Queue(Reply(data));
  EXPECT_EQ(no_write.link.QueryHead(0), -1);
  EXPECT_TRUE(no_write.line->read_requests.empty());  // nothing is read after a failed send
}

TEST(LateReplies, AreDiscardedBeforeTheNextSend) {
  const auto command = MakeCommand(0x10, 0x100, 2, 0);
  ReplyWords words{};

  // The first answer comes too late: its tail arrives after the read gave up.
  Wired w;
  const Bytes stale = Reply({0x11, 0x11, 0x22, 0x22});
  ASSERT_EQ(w.link.SendFrame(command.data(), command.size()), FrameResult::kSent);
  w.line->Queue(Bytes(stale.begin(), stale.begin() + 3));
  w.line->late.assign(stale.begin() + 3, stale.end());
  EXPECT_EQ(w.link.ReceiveReply(words), ReplyResult{ReplyFault::kShortBody});
  // Retry: the stale tail must not be taken as the start of the fresh answer.
  ASSERT_EQ(w.link.SendFrame(command.data(), command.size()), FrameResult::kSent);
  EXPECT_EQ(w.line->drains, 1);
  w.line->Queue(Reply({0x33, 0x33, 0x44, 0x44}));
  EXPECT_EQ(w.link.ReceiveReply(words), WordsReply(2));
  EXPECT_EQ(words[0], 0x3333);

  // The rest of a refusal is thrown away too; a good exchange drains nothing.
  Wired nak;
  nak.line->Queue({0x15, 0x01, 0x00, 0x00, 0xE9});
  EXPECT_EQ(nak.link.ReceiveReply(words), ReplyResult{ReplyFault::kNotAck});
  EXPECT_EQ(nak.link.SendFrame(command.data(), command.size()), FrameResult::kSent);
  EXPECT_EQ(nak.line->drains, 1);
  EXPECT_TRUE(nak.line->incoming.empty());
  nak.line->Queue(Reply({0x01, 0x00, 0x02, 0x00}));
  EXPECT_EQ(nak.link.ReceiveReply(words), WordsReply(2));
  EXPECT_EQ(nak.link.SendFrame(command.data(), command.size()), FrameResult::kSent);
  EXPECT_EQ(nak.line->drains, 1);
}

TEST(ResultMessages, CodesMapToToolStrings) {
  using enum ToolText;
  const std::pair<int, ToolText> expected[] = {{-15, kReceiveFailed},   {-14, kReadCountWrong},
                                               {-13, kBadReply},        {-12, kWriteUsbFailed},
                                               {-11, kWritePartial},    {-2, kCannotOpenPort},
                                               {-1, kNotConnected},     {-100, kUnknownCommError},
                                               {-3, kUnknownCommError}, {-20, kUnknownCommError}};
  for (const auto& [code, id] : expected) {
    const auto result = static_cast<LinkResult>(code);  // reply codes too: they have no message
    EXPECT_EQ(LinkMessageId(result), id) << code;
    EXPECT_FALSE(LinkMessage(result, Lang::En).empty()) << code;
    EXPECT_FALSE(LinkMessage(result, Lang::Ja).empty()) << code;
  }
  EXPECT_EQ(LinkMessage(kNotListed, Lang::En), "The KYR series is not connected to the USB port.");
  EXPECT_EQ(LinkMessage(kHandshakeShort, Lang::En), "The number of red USB data is abnormal.");
  EXPECT_EQ(LinkMessage(kNoKyrDevice, Lang::Ja), "未知の通信エラー");
}

}  // namespace
}  // namespace kyr::link
