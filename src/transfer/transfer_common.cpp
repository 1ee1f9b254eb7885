#include "transfer/transfer_common.h"

#include "link/result_codes.h"
#include "tool/messages.h"

namespace kyr::transfer {

Outcome Fail(TransferContext& ctx, Outcome result) {
  ctx.state.failed = true;
  return result;
}

tool::ServiceHooks HostHooks(TransferContext& ctx) {
  return {[&ctx](int position) { ctx.host.SetProgressPosition(position); },
          [&ctx] { return ctx.host.AbortRequested(); }};
}

tool::Message SettingsFailureBox(SettingsResult result) {
  const ToolText text = SettingsResultText(result);
  return result == SettingsResult::kNotSent ? tool::TitleErrorBox(text) : tool::ErrorBox(text);
}

Outcome ShowServiceFailure(TransferContext& ctx, SettingsResult result) {
  ctx.host.ShowMessage(SettingsFailureBox(result));
  if (result == SettingsResult::kAborted) return Fail(ctx, Outcome::kAborted);
  return Fail(ctx, IsRefusal(result) ? Outcome::kRefused : Outcome::kFailed);
}

Outcome CloseLinkAfterTransfer(TransferContext& ctx) {
  const link::LinkResult closed = ctx.link.CloseLink(!ctx.state.failed);
  tool::ShowLinkFailure(ctx.host, closed);
  if (closed != link::LinkResult::kOk) ctx.state.failed = true;
  return ctx.state.failed ? Outcome::kFailed : Outcome::kDone;
}

}  // namespace kyr::transfer
