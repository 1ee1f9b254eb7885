#pragma once
// Steps both settings transfers share: the failure flag, the messages of a failed block read,
// and closing the link at the end.
#include "tool/tool_host.h"
#include "transfer/block_io.h"
#include "transfer/transfer.h"

namespace kyr::transfer {

// Queued window events let through after the file dialog, before the transfer starts.
inline constexpr int kEventsBeforeTransfer = 20;

// Sets the failure flag; returns `result`.
Outcome Fail(TransferContext& ctx, Outcome result = Outcome::kFailed);

// Shows the message of an exchange of a settings transfer that failed ("Fail to write USB."
// without a caption of its own when the command was not sent, 147 after the failed replies);
// true when the exchange succeeded.
bool ExchangeSucceeded(TransferContext& ctx, link::ExchangeResult outcome);

// Closes the link, with the closing frame only when no failure happened, and reports a
// closing frame that could not be sent. The operation's result.
Outcome CloseLinkAfterTransfer(TransferContext& ctx);

}  // namespace kyr::transfer
