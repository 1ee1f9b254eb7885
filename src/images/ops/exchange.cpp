#include "images/ops/exchange.h"

#include "tool/messages.h"

namespace kyr::images {

tool::Message ImageFailureBox(ImageResult result) {
  const ToolText text = ImageResultText(result);
  return result == ImageResult::kNotSent ? tool::TitleErrorBox(text) : tool::ErrorBox(text);
}

}  // namespace kyr::images

namespace kyr::images::detail {

void ShowImageFailure(ImageOpsContext& ctx, ImageResult result) {
  if (result == ImageResult::kDone || result == ImageResult::kAborted) return;
  ctx.host.ShowMessage(ImageFailureBox(result));
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
