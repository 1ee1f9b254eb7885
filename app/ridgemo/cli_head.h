#pragma once
// What the head commands of the command line share: one link to the head the global options
// name, Ctrl-C and SIGTERM taken as the services' abort request, and the services' progress
// on the console.
#include <optional>

#include "cli.h"
#include "console_host.h"
#include "interrupt_guard.h"
#include "link/link.h"
#include "strings/text_ids.h"
#include "tool/service_hooks.h"

namespace kyr::ridgemo {

class HeadCommand {
 public:
  explicit HeadCommand(CommandContext& ctx);
  HeadCommand(const HeadCommand&) = delete;
  HeadCommand& operator=(const HeadCommand&) = delete;

  link::Link& link() { return link_; }

  // Opens the link with the handshake and, when `head` (0 to 2) is given, asks whether that
  // head is there; false after the message, with the link closed.
  bool Open(std::optional<int> head);
  // Closes the link, with the closing frame when `closing`. False when a closing frame did
  // not go out; its message is shown when `report`.
  bool Close(bool closing, bool report = true);
  // The services' progress on the console's bar, their abort request from Ctrl-C and SIGTERM.
  tool::ServiceHooks Hooks();
  // The exit status of a command that `done` or not. After an abort, or a failure while a
  // signal came (a signal inside an exchange can end it as a failure), `interrupted_text`
  // says what that left.
  int ExitStatus(bool done, bool aborted, ToolText interrupted_text);

 private:
  CommandContext& ctx_;
  InterruptGuard guard_;
  link::Link link_;
  LinkWatch watch_;
};

}  // namespace kyr::ridgemo
