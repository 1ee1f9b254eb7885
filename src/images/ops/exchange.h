#pragma once
// One request and its reply, as the image transfers exchange them.
#include <array>
#include <cstdint>

#include "images/ops/image_ops.h"
#include "link/link.h"

namespace kyr::images::detail {

enum class Exchange { kGood, kWrong, kNotSent };

// A reply that is not `expected` words long is wrong; whatever of it is still arriving is
// discarded so that it cannot be taken for the answer to the next request.
Exchange ReceiveExpected(link::Link& link, int expected, link::ReplyWords& words);

// Sends the 6-byte `command` and receives its single reply.
Exchange Ask(link::Link& link, const std::array<std::uint8_t, 6>& command, int expected,
             link::ReplyWords& words);

// Settings read of `words` words at byte address `address` for head `head`.
std::array<std::uint8_t, 6> SettingsReadCommand(int head, std::uint32_t address, int words);

// Sets the failure flag and shows "Fail to write USB." without a caption of its own.
void ReportNotSent(ImageOpsContext& ctx);
// Sets the failure flag and shows "Communication error is occurred.".
void ReportCommunicationError(ImageOpsContext& ctx);

// Fills ctx.state.selection with the images of the type that the head reports, and for NG
// images ctx.state's NG table. False when the phase failed: the message has been shown and
// the failure flag set.
bool RunPresencePhase(ImageOpsContext& ctx, int head);

}  // namespace kyr::images::detail
