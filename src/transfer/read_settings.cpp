// Read All Settings: the head's settings memory, read by the settings service, into a
// settings file of 512 lines.
#include <sys/stat.h>

#include <memory>

#include "files/atomic_file.h"
#include "settings/settings_file.h"
#include "tool/link_session.h"
#include "tool/messages.h"
#include "transfer/services.h"
#include "transfer/transfer.h"
#include "transfer/transfer_common.h"
#include "userport/file_filters.h"

namespace kyr::transfer {
namespace {

// A folder at `path` cannot be replaced by the file; found out now rather than after the
// whole read.
bool FolderInTheWay(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// From the overwrite question on.
Outcome ReadIntoFile(TransferContext& ctx, const std::string& path) {
  if (files::CanOpenForReading(path) &&
      ctx.host.ShowMessage(tool::WarningQuestion(ToolText::kFileExists)) != tool::Answer::Yes) {
    return Outcome::kNotWanted;
  }
  // The blocks go to a temporary file beside the target, which replaces it only when all
  // of them arrived: a failed read never leaves a partial settings file behind.
  files::AtomicFileWriter file(path);
  if (FolderInTheWay(path) || !file.Open()) {
    ctx.host.ShowMessage(tool::CannotWriteBox(path));
    return Fail(ctx);
  }
  if (!tool::OpenLinkToHead(ctx.host, ctx.link, ctx.port, ctx.head)) return Fail(ctx);
  auto image = std::make_unique<settings::SettingsImage>();
  const SettingsResult read = ReadSettings(ctx.link, ctx.head, *image, HostHooks(ctx));
  Outcome outcome = Outcome::kDone;
  if (read != SettingsResult::kDone) {
    outcome = ShowServiceFailure(ctx, read);
  } else if (!file.Append(settings::FormatSettingsText(*image)) || !file.Commit()) {
    ctx.host.ShowMessage(tool::ErrorBox(ToolText::kCannotCreate));
    outcome = Fail(ctx);
  } else {
    ctx.host.SetProgressPosition(kReadBlocks);
    ctx.host.ShowMessage(tool::FinishBox(ToolText::kSettingsReadComplete));
  }
  file.Abandon();
  const Outcome closed = CloseLinkAfterTransfer(ctx);
  return outcome == Outcome::kAborted ? outcome : closed;
}

void Begin(TransferContext& ctx) {
  ctx.state.failed = false;
  ctx.host.ClearAbortRequest();
  ctx.host.SetProgressRange(0, kReadBlocks);
  ctx.host.SetProgressPosition(0);
}

}  // namespace

Outcome ReadAllSettings(TransferContext& ctx) {
  Begin(ctx);
  const auto chosen = ctx.host.AskSaveFile(userport::SettingsFileFilters(), "");
  if (!chosen || chosen->empty()) return Outcome::kNotWanted;
  const std::string path = settings::WithKdtaExtension(*chosen);
  ctx.host.ProcessPendingEvents(kEventsBeforeTransfer);
  return ReadIntoFile(ctx, path);
}

Outcome ReadAllSettingsTo(TransferContext& ctx, const std::string& path) {
  Begin(ctx);
  return ReadIntoFile(ctx, path);
}

}  // namespace kyr::transfer
