#include "link/result_codes.h"

#include <array>
#include <utility>

namespace kyr::link {

namespace {

constexpr std::array<std::pair<LinkResult, ToolText>, 7> kMessageIds = {{
    {LinkResult::kHandshakeReadFailed, ToolText::kReceiveFailed},
    {LinkResult::kHandshakeShort, ToolText::kReadCountWrong},
    {LinkResult::kHandshakeBadReply, ToolText::kBadReply},
    {LinkResult::kWriteFailed, ToolText::kWriteUsbFailed},
    {LinkResult::kWritePartial, ToolText::kWritePartial},
    {LinkResult::kOpenFailed, ToolText::kCannotOpenPort},
    {LinkResult::kNotListed, ToolText::kNotConnected},
}};

std::string WithCode(std::string_view name, int code) {
  return std::string(name) + " (" + std::to_string(code) + ")";
}

std::string_view LinkResultWords(LinkResult result) {
  switch (result) {
    case LinkResult::kOk:
      return "ok";
    case LinkResult::kNotListed:
      return "not listed";
    case LinkResult::kOpenFailed:
      return "open failed";
    case LinkResult::kWritePartial:
      return "written in part";
    case LinkResult::kWriteFailed:
      return "write failed";
    case LinkResult::kHandshakeBadReply:
      return "wrong handshake reply";
    case LinkResult::kHandshakeShort:
      return "short handshake reply";
    case LinkResult::kHandshakeReadFailed:
      return "handshake read failed";
    case LinkResult::kNoKyrDevice:
      return "no head unit";
  }
  return "unknown";
}

std::string_view ReplyFaultWords(ReplyFault fault) {
  switch (fault) {
    case ReplyFault::kNone:
      return "good";
    case ReplyFault::kNotAck:
      return "not acknowledged";
    case ReplyFault::kShortHeader:
      return "short header";
    case ReplyFault::kBadChecksum:
      return "bad checksum";
    case ReplyFault::kReadFailed:
      return "read failed";
    case ReplyFault::kShortBody:
      return "short body";
  }
  return "unknown";
}

}  // namespace

std::string LinkResultName(LinkResult result) {
  return WithCode(LinkResultWords(result), Code(result));
}

std::string FrameResultName(FrameResult result) {
  switch (result) {
    case FrameResult::kSent:
      return WithCode("sent", Code(result));
    case FrameResult::kPartial:
      return WithCode("written in part", Code(result));
    case FrameResult::kFailed:
      return WithCode("write failed", Code(result));
  }
  return WithCode("unknown", Code(result));
}

std::string ReplyResultName(const ReplyResult& result) {
  if (result.Good()) return std::to_string(result.words) + (result.words == 1 ? " word" : " words");
  return WithCode(ReplyFaultWords(result.fault), result.Code());
}

std::ostream& operator<<(std::ostream& out, LinkResult result) {
  return out << LinkResultName(result);
}
std::ostream& operator<<(std::ostream& out, FrameResult result) {
  return out << FrameResultName(result);
}
std::ostream& operator<<(std::ostream& out, const ReplyResult& result) {
  return out << ReplyResultName(result);
}

ToolText LinkMessageId(LinkResult result) {
  for (const auto& [listed, id] : kMessageIds) {
    if (listed == result) return id;
  }
  return ToolText::kUnknownCommError;
}

std::string_view LinkMessage(LinkResult result) {
  return LoadString(LinkMessageId(result));
}

std::string_view LinkMessage(LinkResult result, Lang lang) {
  return LoadString(LinkMessageId(result), lang);
}

}  // namespace kyr::link
