#include "transfer/transfer_common.h"

#include "link/result_codes.h"
#include "tool/messages.h"

namespace kyr::transfer {

Outcome Fail(TransferContext& ctx, Outcome result) {
  ctx.state.failed = true;
  return result;
}

bool ExchangeSucceeded(TransferContext& ctx, link::ExchangeResult outcome) {
  switch (outcome) {
    case link::ExchangeResult::kDone:
      return true;
    case link::ExchangeResult::kNotSent:
      ctx.host.ShowMessage(tool::TitleErrorBox(ToolText::kWriteUsbFailed));
      return false;
    case link::ExchangeResult::kStopped:
      // A stop asked for during a wait for the head ends the exchange as an abort does.
      if (ctx.host.AbortRequested()) {
        ctx.host.ShowMessage(tool::ErrorBox(ToolText::kAborted));
        return false;
      }
      [[fallthrough]];
    case link::ExchangeResult::kNoGoodReply:
      ctx.host.ShowMessage(tool::ErrorBox(ToolText::kCommunicationError));
      return false;
  }
  return false;
}

Outcome CloseLinkAfterTransfer(TransferContext& ctx) {
  const link::LinkResult closed = ctx.link.CloseLink(!ctx.state.failed);
  tool::ShowLinkFailure(ctx.host, closed);
  if (closed != link::LinkResult::kOk) ctx.state.failed = true;
  return ctx.state.failed ? Outcome::kFailed : Outcome::kDone;
}

}  // namespace kyr::transfer
