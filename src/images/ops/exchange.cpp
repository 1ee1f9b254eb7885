#include "images/ops/exchange.h"

#include "tool/messages.h"

namespace kyr::images::detail {

void ShowImageFailure(ImageOpsContext& ctx, ImageResult result) {
  if (result == ImageResult::kDone || result == ImageResult::kAborted) return;
  const ToolText text = ImageResultText(result);
  ctx.host.ShowMessage(result == ImageResult::kNotSent ? tool::TitleErrorBox(text)
                                                       : tool::ErrorBox(text));
  ctx.state.failed = true;
}

void CloseImageLink(ImageOpsContext& ctx, bool closing) {
  const link::LinkResult closed = ctx.link.CloseLink(closing);
  if (!ctx.state.failed) tool::ShowLinkFailure(ctx.host, closed);
}

tool::ServiceHooks HostHooks(ImageOpsContext& ctx) {
  return {[&ctx](int position) { ctx.host.SetProgressPosition(position); },
          [&ctx] {
            ctx.host.ProcessPendingEvents(1);
            return ctx.host.AbortRequested();
          }};
}

}  // namespace kyr::images::detail
