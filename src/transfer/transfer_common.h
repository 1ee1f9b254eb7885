#pragma once
// Steps both settings transfers share: the file dialog's filters, opening the link and
// finding the head, and closing the link at the end.
#include <vector>

#include "tool/tool_host.h"
#include "transfer/transfer.h"

namespace kyr::transfer {

// Queued window events let through after the file dialog, before the transfer starts.
inline constexpr int kEventsBeforeTransfer = 20;

// "KYR data file ( *.kdta )" and "All files(*.*)".
std::vector<tool::FileFilter> KdtaFilters();

// Sets the failure flag; returns `result`.
int Fail(TransferContext& ctx, int result = kTransferFailed);

// Opens the link with the handshake and asks whether the target head is there. On failure
// the message is shown, the link closed without the closing frame, and the result false.
bool OpenLinkAndFindHead(TransferContext& ctx);

// Closes the link, with the closing frame only when no failure happened, and reports a
// closing frame that could not be sent. The operation's result.
int CloseLinkAfterTransfer(TransferContext& ctx);

}  // namespace kyr::transfer
