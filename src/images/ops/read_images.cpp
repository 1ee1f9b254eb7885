// Read Image: images of one type from one head into .kimg files.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/atomic_file.h"
#include "images/ops/exchange.h"
#include "images/ops/image_ops.h"
#include "images/ops/image_types.h"
#include "images/ops/services.h"
#include "settings/settings_file.h"
#include "strings/strings.h"
#include "tool/link_session.h"
#include "tool/messages.h"

namespace kyr::images {
namespace {

// Window events let through after the file dialog, before the transfer starts.
constexpr int kEventsBeforeTransfer = 20;

bool Selected(const ImageState& state, int number) {
  return ((state.selection >> number) & 1) != 0;
}

void NameImage(ImageOpsContext& ctx, const ImageTypeInfo& info, int number) {
  MakeImageFileName(ctx.state.file_name, info.type, number, ctx.state.ng_ring_position,
                    ctx.state.ng_records, LanguageMark());
}

// The presence phase on its own link session: true with the selection mask set.
bool RunPresencePhase(ImageOpsContext& ctx, const ImageTypeInfo& info, int head) {
  // The first head is always there; another one is asked for.
  const std::optional<int> query = head != 0 ? std::optional<int>(head) : std::nullopt;
  if (!tool::OpenLinkToHead(ctx.host, ctx.link, ctx.port, query)) return false;
  ImagesFound found;
  const ImageResult result = FindImages(ctx.link, head, info.type, found);
  detail::ShowImageFailure(ctx, result);
  ctx.state.selection = found.mask;
  ctx.state.ng_ring_position = found.ng.ring_position;
  ctx.state.ng_records = found.ng.records;
  // A failed presence phase leaves the head without the closing frame.
  detail::CloseImageLink(ctx, !ctx.state.failed);
  return result == ImageResult::kDone && !ctx.state.failed;
}

// The selection dialog of the type on the mask; false when cancelled.
bool ChooseImages(ImageOpsContext& ctx, const ImageTypeInfo& info) {
  std::uint64_t boxes = ctx.state.selection;
  if (!ctx.host.AskImageSelection(SelectionDialogOf(info, CurrentLanguage()), boxes)) return false;
  ctx.state.selection = MaskAfterGo(info, ctx.state.selection, boxes);
  return true;
}

bool ChooseFileName(ImageOpsContext& ctx) {
  const std::vector<tool::FileFilter> filters = {{"KYR image file ( *.kimg )", "*.kimg"},
                                                 {"All files(*.*)", "*.*"}};
  const std::optional<std::string> chosen = ctx.host.AskSaveFile(filters, "");
  if (!chosen || chosen->empty()) return false;
  ctx.state.file_name = settings::WithExtension(*chosen, ".kimg");
  return true;
}

// One question at most: the first chosen image whose file exists asks; Yes overwrites that
// one and all later ones.
bool MayOverwrite(ImageOpsContext& ctx, const ImageTypeInfo& info) {
  for (int number = 0; number < info.count; ++number) {
    ctx.host.ShowImageNumber(number);
    if (!Selected(ctx.state, number)) continue;
    NameImage(ctx, info, number);
    if (files::CanOpenForReading(ctx.state.file_name)) {
      return ctx.host.ShowMessage(tool::WarningQuestion(ToolText::kFileExists)) ==
             tool::Answer::Yes;
    }
  }
  return true;
}

enum class Transfer { kDone, kStopped, kFailed, kAborted };

// Adds blocks `first` to `first + count - 1` of the image read to the file.
bool AppendBlocks(ImageState& state, files::AtomicFileWriter& file, int first, int count) {
  const auto begin = static_cast<std::size_t>(first) * kWordsPerBlock;
  const auto words = static_cast<std::size_t>(count) * kWordsPerBlock;
  for (std::size_t i = 0; i < words; ++i) {
    const std::uint16_t word = state.image.words[begin + i];
    state.request_bytes[2 * i] = static_cast<char>(word & 0xFF);
    state.request_bytes[2 * i + 1] = static_cast<char>(word >> 8);
  }
  return file.Append(std::string_view(state.request_bytes.data(), 2 * words));
}

// Reads image `number` through the service and adds it to `file` when all of it arrived.
Transfer ReceiveImage(ImageOpsContext& ctx, const ImageTypeInfo& info, int head, int number,
                      files::AtomicFileWriter& file) {
  const ImageResult read =
      ReadImage(ctx.link, head, info.type, number, ctx.state.image, detail::HostHooks(ctx));
  detail::ShowImageFailure(ctx, read);
  if (read == ImageResult::kAborted) return Transfer::kAborted;
  if (read != ImageResult::kDone) return Transfer::kFailed;
  // Through the request buffer, as many blocks at a time as it holds.
  constexpr int kBlocksAtATime =
      static_cast<int>(sizeof(ImageState::request_bytes)) / static_cast<int>(2 * kWordsPerBlock);
  for (int first = 0; first < kBlocksPerImage; first += kBlocksAtATime) {
    if (!AppendBlocks(ctx.state, file, first, kBlocksAtATime)) {
      ctx.host.ShowMessage(tool::CannotWriteBox(ctx.state.file_name));
      return Transfer::kStopped;
    }
  }
  return Transfer::kDone;
}

// Reads one image into its file and shows it. The file is written beside its name and put
// in place only once the whole image is in; a failure or abort leaves no part of it.
Transfer ReadOneImage(ImageOpsContext& ctx, const ImageTypeInfo& info, int head, int number) {
  ctx.host.ShowImageNumber(number);
  NameImage(ctx, info, number);
  files::AtomicFileWriter file(ctx.state.file_name);
  if (!file.Open()) {
    ctx.host.ShowMessage(tool::CannotWriteBox(ctx.state.file_name));
    return Transfer::kStopped;
  }
  const Transfer received = ReceiveImage(ctx, info, head, number, file);
  if (received != Transfer::kDone) return received;
  if (!file.Commit()) {
    ctx.host.ShowMessage(tool::CannotWriteBox(ctx.state.file_name));
    return Transfer::kStopped;
  }
  if (LoadImageFile(ctx.state.file_name, ctx.state.image, ctx.state.canvas) !=
      ImageFileResult::kOk) {
    ctx.host.ShowMessage(tool::ErrorBox(ToolText::kCannotReload));
  }
  ctx.host.PaintCanvas();
  return Transfer::kDone;
}

// The transfer on its own link session, with the commands disabled and Abort enabled.
Outcome TransferImages(ImageOpsContext& ctx, const ImageTypeInfo& info, int head) {
  ctx.host.EnableAbort(true);
  ctx.host.EnableCommands(false);
  ctx.host.ClearAbortRequest();
  Outcome result = Outcome::kDone;
  if (tool::OpenLinkToHead(ctx.host, ctx.link, ctx.port, std::nullopt)) {
    std::vector<int> kept;
    for (int number = 0; number < info.count && result == Outcome::kDone; ++number) {
      if (!Selected(ctx.state, number)) continue;
      switch (ReadOneImage(ctx, info, head, number)) {
        case Transfer::kDone:
          kept.push_back(number);
          break;
        case Transfer::kStopped:
        case Transfer::kFailed:
          result = Outcome::kFailed;
          break;
        case Transfer::kAborted:
          ctx.host.ShowMessage(ReadAbortBox(ctx.type, kept));
          result = Outcome::kAborted;
          break;
      }
    }
    // The transfer always ends with the closing frame, also after a failed block or an abort,
    // so that the head knows the exchange is over.
    detail::CloseImageLink(ctx, true);
    if (ctx.state.failed) result = Outcome::kFailed;
    if (result == Outcome::kDone)
      ctx.host.ShowMessage(tool::FinishBox(ToolText::kImageReadComplete));
  } else {
    result = Outcome::kFailed;
  }
  ctx.host.EnableAbort(false);
  ctx.host.EnableCommands(true);
  return result;
}

}  // namespace

tool::Message ReadAbortBox(int type, const std::vector<int>& kept) {
  const Lang lang = CurrentLanguage();
  tool::Message box = tool::ErrorBox(ToolText::kAborted);
  box.text += "\n" + (kept.empty() ? std::string(LoadString(ToolText::kAbortKeptNoImage, lang))
                                   : FormatMessage(LoadString(ToolText::kAbortKeptImages, lang),
                                                   {ImageListText(type, kept, lang)}));
  return box;
}

Outcome ReadImages(ImageOpsContext& ctx) {
  ctx.state.failed = false;
  ctx.host.ClearAbortRequest();
  ctx.host.SetProgressRange(0, kBlocksPerImage);
  ctx.host.SetProgressPosition(0);
  const ImageTypeInfo& info = ImageTypeOf(ctx.type);
  // NG images always come from the first head.
  const int head = FromTargetHead(info) ? ctx.head : 0;
  if (!RunPresencePhase(ctx, info, head)) return Outcome::kFailed;
  if (!ChooseImages(ctx, info) || !ChooseFileName(ctx)) return Outcome::kNotWanted;
  ctx.host.ProcessPendingEvents(kEventsBeforeTransfer);
  if (!MayOverwrite(ctx, info)) return Outcome::kNotWanted;
  return TransferImages(ctx, info, head);
}

}  // namespace kyr::images
