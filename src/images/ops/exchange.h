#pragma once
// What the image transfers share about exchanges: showing their failures, and the presence
// phase.
#include "images/ops/image_ops.h"
#include "link/exchange.h"

namespace kyr::images::detail {

// Sets the failure flag and shows "Fail to write USB." without a caption of its own.
void ReportNotSent(ImageOpsContext& ctx);
// Sets the failure flag and shows "Communication error is occurred.".
void ReportCommunicationError(ImageOpsContext& ctx);
// Shows the failure of an exchange (nothing for a stopped one, which showed its own); true
// when it was done.
bool ExchangeDone(ImageOpsContext& ctx, link::ExchangeResult result);

// Closes the link, with the closing frame when `closing`. A closing frame that cannot be
// written is reported unless a failure has been shown already: after a dropped link it would
// only repeat that message.
void CloseImageLink(ImageOpsContext& ctx, bool closing);

// Fills ctx.state.selection with the images of the type that the head reports, and for NG
// images ctx.state's NG table. False when the phase failed: the message has been shown and
// the failure flag set.
bool RunPresencePhase(ImageOpsContext& ctx, int head);

}  // namespace kyr::images::detail
