#include "cli_head.h"

#include <ostream>

#include "strings/strings.h"
#include "tool/link_session.h"
#include "tool/messages.h"

namespace kyr::ridgemo {

HeadCommand::HeadCommand(CommandContext& ctx)
    : ctx_(ctx), link_(LinkEnvironmentFor(ctx.options)), watch_(ctx.console, link_) {
  link_.SetStopCheck([this] { return ctx_.host.AbortRequested(); });
}

bool HeadCommand::Open(std::optional<int> head) {
  return tool::OpenLinkToHead(ctx_.host, link_, ctx_.options.port, head);
}

bool HeadCommand::Close(bool closing, bool report) {
  const link::LinkResult closed = link_.CloseLink(closing);
  if (report) tool::ShowLinkFailure(ctx_.host, closed);
  return closed == link::LinkResult::kOk;
}

tool::ServiceHooks HeadCommand::Hooks() {
  return {[this](int position) { ctx_.host.SetProgressPosition(position); },
          [this] { return ctx_.host.AbortRequested(); }};
}

int HeadCommand::ExitStatus(bool done, bool aborted, ToolText interrupted_text) {
  if (aborted || (!done && InterruptGuard::Interrupted())) {
    ctx_.err << LoadString(interrupted_text) << '\n';
  }
  return done ? kExitDone : kExitFailed;
}

}  // namespace kyr::ridgemo
