// Settings transfer commands of the command line: read-settings and write-settings.
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "cli.h"
#include "cli_head.h"
#include "files/atomic_file.h"
#include "settings/settings_file.h"
#include "tool/messages.h"
#include "tool/write_choices.h"
#include "transfer/services.h"
#include "transfer/transfer.h"
#include "transfer/write_plan.h"

namespace kyr::ridgemo {
namespace {

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

}  // namespace

// read-settings OUT.kdta: the whole settings memory of the head into OUT, used as given. The
// file is written beside its target and put in place only when every block arrived; on any
// failure a file already at OUT keeps its contents.
int RunReadSettings(CommandContext& ctx) {
  if (ctx.args.size() != 1 || LooksLikeOption(ctx.args[0])) {
    return UsageError(ctx, "read-settings");
  }
  const std::string& path = ctx.args[0];
  HeadCommand command(ctx);
  const auto finish = [&](bool done, bool aborted = false) {
    return command.ExitStatus(done, aborted, ToolText::kReadInterrupted);
  };
  ctx.host.SetProgressRange(0, transfer::kReadBlocks);
  ctx.host.SetProgressPosition(0);
  if (files::CanOpenForReading(path) &&
      ctx.host.ShowMessage(tool::WarningQuestion(ToolText::kFileExists)) != tool::Answer::Yes) {
    return finish(false);
  }
  files::AtomicFileWriter file(path);
  if (!file.Open()) {
    ctx.host.ShowMessage(tool::CannotWriteBox(path));
    return finish(false);
  }
  if (!command.Open(ctx.options.head - 1)) return finish(false);
  auto image = std::make_unique<settings::SettingsImage>();
  const transfer::SettingsResult read =
      transfer::ReadSettings(command.link(), ctx.options.head - 1, *image, command.Hooks());
  bool done = read == transfer::SettingsResult::kDone;
  if (!done) {
    ctx.host.ShowMessage(transfer::SettingsFailureBox(read));
  } else if (!file.Append(settings::FormatSettingsText(*image)) || !file.Commit()) {
    ctx.host.ShowMessage(tool::ErrorBox(ToolText::kCannotCreate));
    done = false;
  } else {
    ctx.host.SetProgressPosition(transfer::kReadBlocks);
    ctx.host.ShowMessage(tool::FinishBox(ToolText::kSettingsReadComplete));
  }
  file.Abandon();
  // The closing frame only after a whole read, so that a head is never told a failed
  // exchange ended normally.
  const bool closed = command.Close(done);
  return finish(done && closed, read == transfer::SettingsResult::kAborted);
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
  const std::string& path = args[0];
  HeadCommand command(ctx);
  const auto finish = [&](bool done, bool aborted = false) {
    return command.ExitStatus(done, aborted, ToolText::kWriteInterrupted);
  };
  ctx.host.SetProgressRange(0, transfer::kWriteBlocks);
  ctx.host.SetProgressPosition(0);
  const tool::WriteChoices choices = dialog.Shown();
  // Choices that cannot be written are refused before the file is read or the link opens.
  if (const auto fits = transfer::CheckWriteChoices(choices);
      fits != transfer::SettingsResult::kDone) {
    ctx.host.ShowMessage(transfer::SettingsFailureBox(fits));
    return finish(false);
  }
  auto image = std::make_unique<settings::SettingsImage>();
  if (transfer::ReadSettingsToWrite(ctx.host, path, *image) != tool::Outcome::kDone) {
    return finish(false);
  }
  if (!command.Open(ctx.options.head - 1)) return finish(false);
  transfer::WriteReport report;
  const transfer::SettingsResult written = transfer::WriteSettings(
      command.link(), ctx.options.head - 1, *image, choices, options, command.Hooks(), &report);
  const bool done = written == transfer::SettingsResult::kDone;
  if (done) ctx.host.SetProgressPosition(transfer::kWriteBlocks);
  ctx.host.ShowMessage(transfer::WriteResultBox(written, report, options.verify));
  // A refusal and an interrupted write close the link as a failure does: without the
  // closing frame, so the head is not told the exchange ended normally.
  const bool closed = command.Close(done);
  return finish(done && closed, written == transfer::SettingsResult::kAborted);
}

}  // namespace kyr::ridgemo
