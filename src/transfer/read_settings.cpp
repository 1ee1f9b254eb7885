// Read All Settings: the head's 8,192 settings words, 64 blocks of 128 words, into a
// settings file of 512 lines.
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <optional>

#include "files/atomic_file.h"
#include "link/result_codes.h"
#include "link/step_tracker.h"
#include "settings/settings_file.h"
#include "tool/link_session.h"
#include "transfer/block_io.h"
#include "transfer/messages.h"
#include "transfer/transfer.h"
#include "transfer/transfer_common.h"
#include "userport/file_filters.h"

namespace kyr::transfer {
namespace {

constexpr int kReadBlocks = 64;
constexpr std::uint8_t kReadBlockWords = 128;
constexpr int kLinesPerBlock = kReadBlockWords / settings::kWordsPerLine;
constexpr std::size_t kLineBytes = settings::kWordsPerLine * settings::kFieldWidth + 2;

using BlockText = std::array<char, kLinesPerBlock * kLineBytes>;

// Eight file lines of "%04X " fields, each ended by CR LF.
std::string_view FormatBlock(const std::uint16_t* words, BlockText& text) {
  constexpr char kHex[] = "0123456789ABCDEF";
  std::size_t at = 0;
  for (int i = 0; i < kReadBlockWords; ++i) {
    const unsigned word = words[static_cast<std::size_t>(i)];
    for (int shift = 12; shift >= 0; shift -= 4) text[at++] = kHex[(word >> shift) & 0xF];
    text[at++] = ' ';
    if (i % settings::kWordsPerLine == settings::kWordsPerLine - 1) {
      text[at++] = '\r';
      text[at++] = '\n';
    }
  }
  return std::string_view(text.data(), at);
}

// A folder at `path` cannot be replaced by the file; found out now rather than after the
// whole read.
bool FolderInTheWay(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Reads the blocks into `image`; false after a failure or an abort request (already
// shown), which is taken between blocks. A block that may have been answered by a stray
// reply is read again, with every block after it.
bool ReadBlocks(TransferContext& ctx, settings::SettingsImage& image, bool& stopped) {
  link::ReplyWords words{};
  link::StepTracker steps(ctx.link, kReadBlocks, kReadBlockWords);
  for (int block = 0; block < kReadBlocks;) {
    if (ctx.host.AbortRequested()) {
      ctx.host.ShowMessage(tool::ErrorBox(ToolText::kAborted));
      stopped = true;
      return false;
    }
    steps.Begin(block);
    const auto address = static_cast<std::uint32_t>(block) * 2u * kReadBlockWords;
    if (!ExchangeSucceeded(
            ctx, ReadMemoryBlock(ctx.link, ctx.head, address, kReadBlockWords, words, block))) {
      return false;
    }
    std::copy_n(words.begin(), kReadBlockWords,
                image.begin() + static_cast<std::ptrdiff_t>(block) * kReadBlockWords);
    ctx.host.SetProgressPosition(block);
    const std::optional<int> next = steps.Next(block + 1);
    if (!next) return ExchangeSucceeded(ctx, link::ExchangeResult::kNoGoodReply);
    block = *next;
  }
  return true;
}

// Writes the blocks read into the open file; false after a failure (shown).
bool WriteBlocks(TransferContext& ctx, const settings::SettingsImage& image,
                 files::AtomicFileWriter& file) {
  BlockText text{};
  for (int block = 0; block < kReadBlocks; ++block) {
    if (!file.Append(FormatBlock(image.data() + block * kReadBlockWords, text))) {
      ctx.host.ShowMessage(tool::ErrorBox(ToolText::kCannotCreate));
      return false;
    }
  }
  return true;
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
  bool stopped = false;
  settings::SettingsImage image{};
  ctx.state.failed = !ReadBlocks(ctx, image, stopped) || !WriteBlocks(ctx, image, file);
  if (!ctx.state.failed && !file.Commit()) {
    ctx.host.ShowMessage(tool::ErrorBox(ToolText::kCannotCreate));
    ctx.state.failed = true;
  }
  if (!ctx.state.failed) {
    ctx.host.SetProgressPosition(kReadBlocks);
    ctx.host.ShowMessage(tool::FinishBox(ToolText::kSettingsReadComplete));
  }
  file.Abandon();
  const Outcome closed = CloseLinkAfterTransfer(ctx);
  return stopped ? Outcome::kAborted : closed;
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
