// Write Settings: the flow that asks for a settings file and the write choices, reads the
// file, and writes it into the head through the settings service.
#include <cstdio>
#include <memory>
#include <string>

#include "settings/settings_file.h"
#include "strings/strings.h"
#include "tool/link_session.h"
#include "tool/messages.h"
#include "transfer/services.h"
#include "transfer/transfer.h"
#include "transfer/transfer_common.h"
#include "transfer/write_plan.h"
#include "userport/file_filters.h"

namespace kyr::transfer {
namespace {

void Begin(TransferContext& ctx) {
  ctx.state.failed = false;
  ctx.host.ClearAbortRequest();
  ctx.host.SetProgressRange(0, kWriteBlocks);
  ctx.host.SetProgressPosition(0);
}

std::string Hex4(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", value & 0xFFFFu);
  return text;
}

}  // namespace

Outcome ReadSettingsToWrite(tool::ToolHost& host, const std::string& path,
                            settings::SettingsImage& image) {
  int first_incomplete = -1;
  if (settings::ReadToolSettingsFile(path, image, first_incomplete) < 0) {
    host.ShowMessage(tool::ErrorBox(ToolText::kCannotOpenFile));
    return Outcome::kFailed;
  }
  if (first_incomplete >= 0) {
    const std::string text = FormatMessage(tool::Text(ToolText::kIncompleteFile),
                                           {std::to_string(first_incomplete + 1)});
    host.ShowMessage(tool::ErrorBox(ToolText::kIncompleteFile, text));
    return Outcome::kRefused;
  }
  return Outcome::kDone;
}

tool::Message WriteResultBox(SettingsResult result, const WriteReport& report, bool verified) {
  if (result == SettingsResult::kVerifyDifference) {
    const VerifyDifference& difference = report.difference;
    const std::string text =
        FormatMessage(tool::Text(ToolText::kVerifyDifference),
                      {std::to_string(difference.block), std::to_string(difference.word),
                       Hex4(difference.written), Hex4(difference.read)});
    return tool::ErrorBox(ToolText::kVerifyDifference, text);
  }
  if (result != SettingsResult::kDone) return SettingsFailureBox(result);
  tool::Message done = tool::FinishBox(ToolText::kSettingsWriteComplete);
  // What the read-back checked, so that a verified write says it was verified.
  if (verified) {
    done.text += "\n" + FormatMessage(tool::Text(ToolText::kVerifiedBlocks),
                                      {std::to_string(report.blocks)});
  }
  return done;
}

namespace {

// From the check of the choices on, with the file chosen and the dialog accepted.
Outcome WriteFromFile(TransferContext& ctx, const std::string& path,
                      const tool::WriteChoices& choices, const WriteOptions& options) {
  // Choices that cannot be written are refused before the file is read or the link opens.
  if (const SettingsResult fits = CheckWriteChoices(choices); fits != SettingsResult::kDone) {
    return ShowServiceFailure(ctx, fits);
  }
  auto image = std::make_unique<settings::SettingsImage>();
  if (const Outcome loaded = ReadSettingsToWrite(ctx.host, path, *image);
      loaded != Outcome::kDone) {
    return Fail(ctx, loaded);
  }
  if (!tool::OpenLinkToHead(ctx.host, ctx.link, ctx.port, ctx.head)) return Fail(ctx);
  WriteReport report;
  const SettingsResult written =
      WriteSettings(ctx.link, ctx.head, *image, choices, options, HostHooks(ctx), &report);
  Outcome outcome = Outcome::kDone;
  if (written == SettingsResult::kDone) {
    ctx.host.SetProgressPosition(kWriteBlocks);
    ctx.host.ShowMessage(WriteResultBox(written, report, options.verify));
  } else if (written == SettingsResult::kVerifyDifference) {
    ctx.host.ShowMessage(WriteResultBox(written, report, options.verify));
    outcome = Fail(ctx);
  } else {
    outcome = ShowServiceFailure(ctx, written);
  }
  // A refusal and an interrupted write close the link as a failure does: without the
  // closing frame, so the head is not told the exchange ended normally.
  const Outcome closed = CloseLinkAfterTransfer(ctx);
  return outcome == Outcome::kDone ? closed : outcome;
}

}  // namespace

Outcome WriteSettings(TransferContext& ctx) {
  Begin(ctx);
  const auto chosen = ctx.host.AskOpenFile(userport::SettingsFileFilters(), "");
  if (!chosen || chosen->empty()) return Outcome::kNotWanted;
  const std::string path = settings::WithKdtaExtension(*chosen);
  ctx.host.ProcessPendingEvents(kEventsBeforeTransfer);
  tool::WriteChoices choices = ctx.state.write_choices;
  if (!ctx.host.AskWriteChoices(choices)) return Outcome::kNotWanted;
  ctx.state.write_choices = choices;
  return WriteFromFile(ctx, path, choices, {});
}

Outcome WriteSettingsFrom(TransferContext& ctx, const std::string& path,
                          const tool::WriteChoices& choices, const WriteOptions& options) {
  Begin(ctx);
  return WriteFromFile(ctx, path, choices, options);
}

}  // namespace kyr::transfer
