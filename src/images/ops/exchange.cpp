#include "images/ops/exchange.h"

#include "images/ops/messages.h"
#include "tool/messages.h"

namespace kyr::images::detail {

void ReportNotSent(ImageOpsContext& ctx) {
  ctx.state.failed = true;
  ctx.host.ShowMessage(tool::TitleErrorBox(ToolText::kWriteUsbFailed));
}

void ReportCommunicationError(ImageOpsContext& ctx) {
  ctx.state.failed = true;
  ctx.host.ShowMessage(tool::ErrorBox(ToolText::kCommunicationError));
}

bool ExchangeDone(ImageOpsContext& ctx, link::ExchangeResult result) {
  switch (result) {
    case link::ExchangeResult::kDone:
      return true;
    case link::ExchangeResult::kNotSent:
      ReportNotSent(ctx);
      return false;
    case link::ExchangeResult::kNoGoodReply:
      ReportCommunicationError(ctx);
      return false;
    case link::ExchangeResult::kStopped:
      return false;
  }
  return false;
}

void CloseImageLink(ImageOpsContext& ctx, bool closing) {
  const link::LinkResult closed = ctx.link.CloseLink(closing);
  if (!ctx.state.failed) tool::ShowLinkFailure(ctx.host, closed);
}

}  // namespace kyr::images::detail
