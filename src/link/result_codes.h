#pragma once
// Result codes of the link and the tool messages shown for them.
#include <string_view>

#include "strings/strings.h"

namespace kyr::link {

// OpenLink, Handshake, SendClosingFrame and CloseLink.
inline constexpr int kOk = 0;
inline constexpr int kNotListed = -1;             // head not in the FTDI list in time
inline constexpr int kOpenFailed = -2;            // port or device open failed
inline constexpr int kWritePartial = -11;         // frame written only in part
inline constexpr int kWriteFailed = -12;          // frame write failed
inline constexpr int kHandshakeBadReply = -13;    // handshake reply not 8C 73
inline constexpr int kHandshakeShort = -14;       // handshake reply shorter than 2 bytes
inline constexpr int kHandshakeReadFailed = -15;  // reading the handshake reply failed
inline constexpr int kNoKyrDevice = -100;         // no present device with a KYRD serial

// ReceiveReply (a non-negative result is the word count N).
inline constexpr int kReplyNotAck = -1;       // first byte not 06
inline constexpr int kReplyShortHeader = -2;  // fewer than 2 header bytes
inline constexpr int kReplyBadChecksum = -3;  // words stored, but the sum is wrong
inline constexpr int kReplyReadFailed = -4;   // the transport failed
inline constexpr int kReplyShortBody = -20;   // fewer than 2 N + 1 bytes after the header

// SendFrame.
inline constexpr int kFrameSent = 0;
inline constexpr int kFramePartial = 1;
inline constexpr int kFrameWriteFailed = 2;

// Tool string id of the message shown for an OpenLink or CloseLink result in an error box:
// 146, 145, 144, 137, 136, 133, 132, and 169 ("Unknown comm error") for any other code.
int LinkMessageId(int code);

// That message's text in the process language (or in `lang`).
std::string_view LinkMessage(int code);
std::string_view LinkMessage(int code, Lang lang);

}  // namespace kyr::link
