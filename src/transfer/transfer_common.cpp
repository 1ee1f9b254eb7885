#include "transfer/transfer_common.h"

#include "link/result_codes.h"
#include "transfer/messages.h"

namespace kyr::transfer {

std::vector<tool::FileFilter> KdtaFilters() {
  return {{"KYR data file ( *.kdta )", "*.kdta"}, {"All files(*.*)", "*.*"}};
}

int Fail(TransferContext& ctx, int result) {
  ctx.state.failed = true;
  return result;
}

bool OpenLinkAndFindHead(TransferContext& ctx) {
  const int opened = ctx.link.OpenLink(ctx.port, /*handshake=*/true);
  if (opened < 0) {
    tool::ShowLinkFailure(ctx.host, opened);
    ctx.link.CloseLink(false);
    return false;
  }
  const int presence = ctx.link.QueryHead(ctx.head);
  if (presence <= 0) {
    ctx.host.ShowMessage(
        tool::ErrorBox(presence < 0 ? tool::kMsgCommunicationError : tool::kMsgHeadAbsent));
    ctx.link.CloseLink(false);
    return false;
  }
  return true;
}

int CloseLinkAfterTransfer(TransferContext& ctx) {
  const int closed = ctx.link.CloseLink(!ctx.state.failed);
  tool::ShowLinkFailure(ctx.host, closed);
  if (closed != link::kOk) ctx.state.failed = true;
  return ctx.state.failed ? kTransferFailed : kTransferDone;
}

}  // namespace kyr::transfer
