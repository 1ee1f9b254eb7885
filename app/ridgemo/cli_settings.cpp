// Settings transfer commands of the command line: read-settings and write-settings.
#include <optional>
#include <ostream>
#include <string>

#include "cli.h"
#include "console_host.h"
#include "interrupt_guard.h"
#include "link/link.h"
#include "strings/strings.h"
#include "tool/tool_state.h"
#include "tool/write_choices.h"
#include "transfer/transfer.h"

namespace kyr::ridgemo {
namespace {

int ExitStatus(tool::Outcome transfer_result) {
  return transfer_result == transfer::Outcome::kDone ? kExitDone : kExitFailed;
}

// A bank number 0 to 31; nullopt when the text is not one.
std::optional<int> ParseBank(const std::string& text) {
  const std::optional<int> bank = ParseNumber(text);
  if (!bank || *bank > tool::kLastBank) return std::nullopt;
  return bank;
}

// Takes `name B` out of the arguments into `bank`; false on a missing or bad value.
bool TakeBank(std::vector<std::string>& args, std::string_view name, std::optional<int>& bank) {
  bool missing = false;
  const auto value = TakeOption(args, name, missing);
  if (missing) return false;
  if (!value) return true;
  bank = ParseBank(*value);
  return bank.has_value();
}

// Runs `operation` on a link to the head the global options name. Ctrl-C and SIGTERM stop
// it between blocks; `interrupted_text` then says what that left.
template <typename Operation>
int WithTransferContext(CommandContext& ctx, ToolText interrupted_text, Operation&& operation) {
  const InterruptGuard guard;
  link::Link link(LinkEnvironmentFor(ctx.options));
  link.SetStopCheck([&ctx] { return ctx.host.AbortRequested(); });
  const LinkWatch watch(ctx.console, link);
  tool::ToolState state;
  transfer::TransferContext transfer_ctx{ctx.host, link, state, ctx.options.port,
                                         ctx.options.head - 1};
  const tool::Outcome result = operation(transfer_ctx);
  // A signal inside an exchange can also end it as a failure.
  const bool interrupted = InterruptGuard::Interrupted() && result != tool::Outcome::kDone;
  if (result == tool::Outcome::kAborted || interrupted) {
    ctx.err << LoadString(interrupted_text) << '\n';
  }
  return ExitStatus(result);
}

}  // namespace

// read-settings OUT.kdta: the whole settings memory of the head into OUT, used as given.
int RunReadSettings(CommandContext& ctx) {
  if (ctx.args.size() != 1 || LooksLikeOption(ctx.args[0])) {
    return UsageError(ctx, "read-settings");
  }
  const std::string path = ctx.args[0];
  return WithTransferContext(ctx, ToolText::kReadInterrupted,
                             [&](transfer::TransferContext& transfer_ctx) {
                               return transfer::ReadAllSettingsTo(transfer_ctx, path);
                             });
}

// write-settings IN.kdta with the write dialog's choices as options, starting from the
// dialog's initial choices (all banks onto themselves, every part ticked).
int RunWriteSettings(CommandContext& ctx) {
  std::vector<std::string>& args = ctx.args;
  std::optional<int> start;
  std::optional<int> end;
  std::optional<int> target;
  const bool banks_ok = TakeBank(args, "--start", start) && TakeBank(args, "--end", end) &&
                        TakeBank(args, "--to", target);
  tool::WriteDialogModel dialog{tool::WriteChoices{}};
  if (start) dialog.ChooseStartBank(*start);
  if (end) dialog.ChooseEndBank(*end);
  if (target) dialog.ChooseTargetBank(*target);
  if (TakeFlag(args, "--no-common")) dialog.SetCommon(false);
  if (TakeFlag(args, "--no-alphabet")) dialog.SetAlphabet(false);
  if (TakeFlag(args, "--no-dictionary")) dialog.SetDictionary(false);
  transfer::WriteOptions options;
  options.verify = TakeFlag(args, "--verify");
  if (!banks_ok || args.size() != 1 || LooksLikeOption(args[0])) {
    if (!banks_ok) ctx.err << "ridgemo: banks are numbers from 0 to 31\n";
    return UsageError(ctx, "write-settings");
  }
  const std::string path = args[0];
  return WithTransferContext(
      ctx, ToolText::kWriteInterrupted, [&](transfer::TransferContext& transfer_ctx) {
        return transfer::WriteSettingsFrom(transfer_ctx, path, dialog.Shown(), options);
      });
}

}  // namespace kyr::ridgemo
