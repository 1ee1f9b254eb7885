#pragma once
// Steps both settings flows share: the failure flag, the message of a service's result, and
// closing the link at the end.
#include "tool/tool_host.h"
#include "transfer/services.h"
#include "transfer/transfer.h"

namespace kyr::transfer {

// Queued window events let through after the file dialog, before the transfer starts.
inline constexpr int kEventsBeforeTransfer = 20;

// Sets the failure flag; returns `result`.
Outcome Fail(TransferContext& ctx, Outcome result = Outcome::kFailed);

// The service's progress and abort request as the host shows and reads them.
tool::ServiceHooks HostHooks(TransferContext& ctx);

// Shows the message of a service's result that did not succeed ("Fail to write USB."
// without a caption of its own when a block's command was not sent), sets the failure flag,
// and gives the flow's outcome for it.
Outcome ShowServiceFailure(TransferContext& ctx, SettingsResult result);

// Closes the link, with the closing frame only when no failure happened, and reports a
// closing frame that could not be sent. The operation's result.
Outcome CloseLinkAfterTransfer(TransferContext& ctx);

}  // namespace kyr::transfer
