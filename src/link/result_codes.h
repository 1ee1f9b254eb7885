#pragma once
// Result types of the link and the tool messages shown for them. The numbers are the head
// protocol's own: messages are chosen by them, and traces and failure boxes show them.
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

#include "strings/strings.h"

namespace kyr::link {

// OpenLink, Handshake, SendClosingFrame and CloseLink.
enum class LinkResult : int {
  kOk = 0,
  kNotListed = -1,             // head not in the FTDI list in time
  kOpenFailed = -2,            // port or device open failed
  kWritePartial = -11,         // frame written only in part
  kWriteFailed = -12,          // frame write failed
  kHandshakeBadReply = -13,    // handshake reply not 8C 73
  kHandshakeShort = -14,       // handshake reply shorter than 2 bytes
  kHandshakeReadFailed = -15,  // reading the handshake reply failed
  kNoKyrDevice = -100,         // no present device with a KYRD serial
};

// SendFrame.
enum class FrameResult : int {
  kSent = 0,
  kPartial = 1,  // fewer bytes written than the frame has
  kFailed = 2,   // the write failed, or the body is too long for one frame
};

// What went wrong with a reply (ReceiveReply).
enum class ReplyFault : int {
  kNone = 0,
  kNotAck = -1,       // first byte not 06
  kShortHeader = -2,  // fewer than 2 header bytes
  kBadChecksum = -3,  // words stored, but the sum is wrong
  kReadFailed = -4,   // the transport failed
  kShortBody = -20,   // fewer than 2 N + 1 bytes after the header
};

// One ReceiveReply: the number of words stored, or the fault.
struct ReplyResult {
  ReplyFault fault = ReplyFault::kNone;
  int words = 0;  // 0 to 255; with a bad checksum the words are stored all the same

  bool Good() const { return fault == ReplyFault::kNone; }
  // A good reply of exactly `count` words: what every exchange waits for.
  bool HasWords(int count) const { return Good() && words == count; }
  // The signed number of the protocol: N, or the negative code.
  int Code() const { return Good() ? words : static_cast<int>(fault); }
  bool operator==(const ReplyResult&) const = default;
};

// A good reply of `count` words.
constexpr ReplyResult WordsReply(int count) {
  return {ReplyFault::kNone, count};
}

constexpr int Code(LinkResult result) {
  return static_cast<int>(result);
}
constexpr int Code(FrameResult result) {
  return static_cast<int>(result);
}

// Names for logs, traces and test failures: "not listed (-1)", "sent (0)", "24 words".
std::string LinkResultName(LinkResult result);
std::string FrameResultName(FrameResult result);
std::string ReplyResultName(const ReplyResult& result);
std::ostream& operator<<(std::ostream& out, LinkResult result);
std::ostream& operator<<(std::ostream& out, FrameResult result);
std::ostream& operator<<(std::ostream& out, const ReplyResult& result);

// Tool string of the message shown for an OpenLink or CloseLink result in an error box
// ("Unknown comm error" for a result without a message of its own).
ToolText LinkMessageId(LinkResult result);

// That message's text in the process language (or in `lang`).
std::string_view LinkMessage(LinkResult result);
std::string_view LinkMessage(LinkResult result, Lang lang);

}  // namespace kyr::link
