// The commands on the wire, and the exchange rule every operation shares.
#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <optional>

#include "link/exchange.h"
#include "link/link.h"
#include "link/protocol.h"
#include "link_fakes.h"

namespace kyr::link {
namespace {

using testing::Bytes;

Bytes OnTheWire(const Command& command) {
  Bytes bytes(command.begin(), command.end());
  bytes.push_back(Checksum(command.data(), command.size()));
  return bytes;
}

TEST(Commands, EveryBuilderOnTheWire) {
  struct Case {
    const char* what;
    Command command;
    Bytes wire;
  };
  const Case cases[] = {
      {"query heads", QueryHeadsCommand(), {0xFB, 0, 0, 0, 0, 0, 0x04}},
      {"read version word, head 2",
       ReadMemoryCommand(1, 0x3F80, 1),
       {0x11, 0x80, 0x3F, 0x00, 0x01, 0x00, 0x2E}},
      {"read settings block 1",
       ReadMemoryCommand(0, 0x100, 128),
       {0x10, 0x00, 0x01, 0x00, 0x80, 0x00, 0x6E}},
      {"write settings block 127, head 3",
       WriteMemoryCommand(2, 127 * 128, 64),
       {0x16, 0x80, 0x3F, 0x00, 0x40, 0x00, 0xEA}},
      {"finish settings write",
       FinishSettingsWriteCommand(0),
       {0x24, 0xFF, 0x6A, 0x00, 0x00, 0x00, 0x72}},
      {"32 bank blocks at unit 16",
       ImageBlockReadCommand(ImageSource::kBankOrMemory, 1, 0x100000, 32),
       {0x19, 0x00, 0x00, 0x10, 0x80, 0x1F, 0x37}},
      {"one shot block",
       ImageBlockReadCommand(ImageSource::kShot, 0, 0x000080, 1),
       {0x20, 0x80, 0x00, 0x00, 0x80, 0x00, 0xDF}},
      {"NG blocks ignore the head",
       ImageBlockReadCommand(ImageSource::kNg, 2, 0x020000, 32),
       {0xF8, 0x00, 0x00, 0x02, 0x80, 0x1F, 0x66}},
      {"memory image 2 block 0",
       ImageBlockWriteCommand(0, 0x540000),
       {0x1C, 0x00, 0x00, 0x54, 0x80, 0x00, 0x0F}},
      {"shoot status", ShootStatusCommand(1), {0x29, 0, 0, 0, 0x04, 0, 0xD2}},
      {"poll after an image write", WriteStatusPollCommand(0), {0x28, 0x12, 0, 0, 0x05, 0, 0xC0}},
      {"NG table piece at word 36", NgTablePieceCommand(36), {0xF9, 0x24, 0, 0, 0x12, 0, 0xD0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(OnTheWire(c.command), c.wire);
  }
  // The monitor's request goes raw, without a checksum.
  const auto monitor = MonitorPartRequest(13, 241, 228, 7);
  EXPECT_EQ(Bytes(monitor.begin(), monitor.end()), (Bytes{0x55, 0xC8, 13, 241, 228, 7}));
  EXPECT_TRUE(IsMonitorReplyHeader(0x55, 7, 7));
  EXPECT_FALSE(IsMonitorReplyHeader(0x55, 6, 7));
}

// A head that answers the n-th request with the bytes scripted for it, all at once, and
// drops what is on the line when the tool drains.
class ScriptedHead final : public ByteChannel {
 public:
  std::map<int, Bytes> answers;  // by request number, from 0
  int requests = 0;

  bool Write(const std::uint8_t* data, std::size_t count, std::size_t& written) override {
    written = count;
    if (count != 7) return true;  // data frames are answered with their command
    (void)data;
    const auto answer = answers.find(requests++);
    if (answer != answers.end())
      line_.insert(line_.end(), answer->second.begin(), answer->second.end());
    return true;
  }
  bool Read(std::uint8_t* data, std::size_t count, std::size_t& got) override {
    for (got = 0; got < count && !line_.empty(); ++got) {
      data[got] = line_.front();
      line_.pop_front();
    }
    return true;
  }
  std::size_t Drain(std::uint32_t, std::uint32_t) override {
    const std::size_t n = line_.size();
    line_.clear();
    return n;
  }
  void Close() override {}

 private:
  std::deque<std::uint8_t> line_;
};

Bytes Reply(std::uint16_t word) {
  Bytes reply = {kAck, 1, static_cast<std::uint8_t>(word & 0xFF),
                 static_cast<std::uint8_t>(word >> 8)};
  reply.push_back(Checksum(reply.data(), reply.size()));
  return reply;
}

TEST(Exchange, ALateAnswerAfterARetryIsNotTakenForTheNextRequest) {
  // The first request goes unanswered, then its answer and the answer to the repeat arrive
  // together: the second copy must not answer the request that follows, whether the retried
  // success drains the line or the next request finds the copy waiting. Either way the
  // reply taken after the retry is marked as perhaps a stray one's.
  for (const bool drain_after_retried_success : {true, false}) {
    SCOPED_TRACE(drain_after_retried_success);
    auto channel = std::make_unique<ScriptedHead>();
    ScriptedHead& head = *channel;
    head.answers = {{1, Reply(1)}, {2, Reply(2)}};
    head.answers[1].insert(head.answers[1].end(), head.answers[1].begin(), head.answers[1].end());
    Link link{LinkEnvironment{}};
    link.Attach(std::move(channel), LinkMode::Usb);
    RetryPolicy policy;
    policy.drain_after_retried_success = drain_after_retried_success;
    ReplyWords words{};
    ASSERT_EQ(Exchange(link, {ReadMemoryCommand(0, 0, 1), 1}, words, policy),
              ExchangeResult::kDone);
    EXPECT_EQ(words[0], 1);
    ASSERT_EQ(Exchange(link, {ReadMemoryCommand(0, 2, 1), 1}, words, policy),
              ExchangeResult::kDone);
    EXPECT_EQ(words[0], 2);
    EXPECT_EQ(link.OutOfStepSince(), std::optional<std::uint64_t>{1});
  }
}

TEST(Exchange, AttemptsEndInARowAndAFrameNotSentEndsAtOnce) {
  struct Case {
    int unanswered;
    bool fail_write;
    ExchangeResult result;
    int requests;
  };
  for (const Case c :
       {Case{4, false, ExchangeResult::kDone, 5}, Case{5, false, ExchangeResult::kNoGoodReply, 5},
        Case{0, true, ExchangeResult::kNotSent, 1}}) {
    SCOPED_TRACE(c.unanswered);
    auto script = std::make_shared<testing::ChannelScript>();
    script->fail_write = c.fail_write;
    Link link{LinkEnvironment{}};
    auto channel = std::make_unique<ScriptedHead>();
    ScriptedHead& head = *channel;
    head.answers[c.unanswered] = Reply(7);
    if (c.fail_write) {
      link.Attach(std::make_unique<testing::FakeChannel>(script), LinkMode::Usb);
    } else {
      link.Attach(std::move(channel), LinkMode::Usb);
    }
    ReplyWords words{};
    const ExchangeResult result = Exchange(link, {ReadMemoryCommand(0, 0, 1), 1}, words);
    EXPECT_EQ(result, c.result) << ExchangeResultName(result);
    const int requests = c.fail_write ? static_cast<int>(script->writes.size()) + 1 : head.requests;
    EXPECT_EQ(requests, c.requests);
  }
}

}  // namespace
}  // namespace kyr::link
