// Read Image: images of one type from one head into .kimg files.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "files/atomic_file.h"
#include "images/ops/exchange.h"
#include "images/ops/image_ops.h"
#include "images/ops/image_types.h"
#include "images/ops/messages.h"
#include "settings/settings_file.h"
#include "strings/strings.h"
#include "tool/link_session.h"

namespace kyr::images {
namespace {

using detail::Exchange;

// Window events let through after the file dialog, before the transfer starts.
constexpr int kEventsBeforeTransfer = 20;
// A block request answered wrongly this many times in a row gives up.
constexpr int kWrongRepliesAllowed = 5;

bool Selected(const ImageState& state, int number) {
  return ((state.selection >> number) & 1) != 0;
}

void NameImage(ImageOpsContext& ctx, const ImageTypeInfo& info, int number) {
  MakeImageFileName(ctx.state.file_name, info.type, number, ctx.state.ng_ring_position,
                    ctx.state.ng_records, LanguageMark());
}

// Closes the link, with the closing frame unless something failed.
void CloseLinkAfterImages(ImageOpsContext& ctx) {
  tool::ShowLinkFailure(ctx.host, ctx.link.CloseLink(!ctx.state.failed));
}

// The presence phase on its own link session: true with the selection mask set.
bool FindImages(ImageOpsContext& ctx, int head) {
  // The first head is always there; another one is asked for.
  const std::optional<int> query = head != 0 ? std::optional<int>(head) : std::nullopt;
  if (!tool::OpenLinkToHead(ctx.host, ctx.link, ctx.port, query)) return false;
  const bool found = detail::RunPresencePhase(ctx, head);
  CloseLinkAfterImages(ctx);
  return found && !ctx.state.failed;
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
      return ctx.host.ShowMessage(tool::WarningQuestion(tool::kMsgFileExists)) == tool::Answer::Yes;
    }
  }
  return true;
}

enum class Transfer { kDone, kStopped, kFailed, kAborted };

// How long the line must stay quiet before a request whose reply went wrong is given up.
constexpr std::uint32_t kLateAnswersQuietMs = 2500;

// Stores a received block into the image being read.
void StoreBlock(RawImage& image, int block, const link::ReplyWords& words) {
  std::copy_n(words.begin(), kWordsPerBlock,
              image.words.begin() + static_cast<std::ptrdiff_t>(block) * kWordsPerBlock);
}

// Adds blocks `first` to `first + count - 1` of the image being read to the file.
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

// Reads the 512 blocks of image `number` into `file`: 32 blocks a request until a reply goes
// wrong, then one block a request for the rest of the image. A request goes to the file only
// when all its replies arrived, so a request asked again writes nothing twice.
Transfer ReceiveImage(ImageOpsContext& ctx, const ImageTypeInfo& info, int head, int number,
                      files::AtomicFileWriter& file) {
  const int unit = ImageUnit(info, number);
  int replies = info.replies_per_request;
  int wrong = 0;
  bool asked_again = false;  // a request went wrong: late answers to it may still come
  link::ReplyWords words{};
  for (int block = 0; block < kBlocksPerImage;) {
    const auto command = BlockReadCommand(info, head, unit, block, replies);
    if (ctx.link.SendFrame(command.data(), command.size()) != link::kFrameSent) {
      detail::ReportNotSent(ctx);
      return Transfer::kFailed;
    }
    int received = 0;
    for (; received < replies; ++received) {
      if (detail::ReceiveExpected(ctx.link, kWordsPerBlock, words) != Exchange::kGood) break;
      StoreBlock(ctx.state.image, block + received, words);
      wrong = 0;
      ctx.host.SetProgressPosition(block + received);
      ctx.host.ProcessPendingEvents(1);
      if (ctx.host.AbortRequested()) {
        ctx.host.ShowMessage(tool::ErrorBox(kMsgAborted));
        return Transfer::kAborted;
      }
    }
    if (received == replies) {
      // The replies taken after a wrong one may be late answers to the earlier request,
      // with the answers to this one still to come: they must not answer the next request.
      if (asked_again) ctx.link.DiscardPending();
      asked_again = false;
      if (!AppendBlocks(ctx.state, file, block, replies)) {
        ctx.host.ShowMessage(tool::ErrorBox(tool::kMsgCannotCreate));
        return Transfer::kStopped;
      }
      block += replies;
      continue;
    }
    if (++wrong >= kWrongRepliesAllowed) {
      detail::ReportCommunicationError(ctx);
      return Transfer::kFailed;
    }
    // When a reply of a many-block request went wrong, its followers may still come, late
    // but all at once; taken for the answers to the single-block requests that follow they
    // would put one block's words in another's place. They are waited out once per image.
    if (replies > 1) ctx.link.DiscardPending(kLateAnswersQuietMs);
    asked_again = true;
    replies = 1;
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
    ctx.host.ShowMessage(tool::ErrorBox(tool::kMsgCannotCreate));
    return Transfer::kStopped;
  }
  const Transfer received = ReceiveImage(ctx, info, head, number, file);
  if (received != Transfer::kDone) return received;
  if (!file.Commit()) {
    ctx.host.ShowMessage(tool::ErrorBox(tool::kMsgCannotCreate));
    return Transfer::kStopped;
  }
  if (LoadImageFile(ctx.state.file_name, ctx.state.image, ctx.state.canvas) != kImageFileOk) {
    ctx.host.ShowMessage(tool::ErrorBox(kMsgCannotReload));
  }
  ctx.host.PaintCanvas();
  return Transfer::kDone;
}

// The transfer on its own link session, with the commands disabled and Abort enabled.
int TransferImages(ImageOpsContext& ctx, const ImageTypeInfo& info, int head) {
  ctx.host.EnableAbort(true);
  ctx.host.EnableCommands(false);
  ctx.host.ClearAbortRequest();
  int result = kImagesDone;
  if (tool::OpenLinkToHead(ctx.host, ctx.link, ctx.port, std::nullopt)) {
    for (int number = 0; number < info.count && result == kImagesDone; ++number) {
      if (!Selected(ctx.state, number)) continue;
      switch (ReadOneImage(ctx, info, head, number)) {
        case Transfer::kDone:
          break;
        case Transfer::kStopped:
        case Transfer::kFailed:
          result = kImagesFailed;
          break;
        case Transfer::kAborted:
          result = kImagesAborted;
          break;
      }
    }
    CloseLinkAfterImages(ctx);
    if (ctx.state.failed) result = kImagesFailed;
    if (result == kImagesDone) ctx.host.ShowMessage(tool::FinishBox(kMsgReadComplete));
  } else {
    result = kImagesFailed;
  }
  ctx.host.EnableAbort(false);
  ctx.host.EnableCommands(true);
  return result;
}

}  // namespace

int ReadImages(ImageOpsContext& ctx) {
  ctx.state.failed = false;
  ctx.host.ClearAbortRequest();
  ctx.host.SetProgressRange(0, kBlocksPerImage);
  ctx.host.SetProgressPosition(0);
  const ImageTypeInfo& info = ImageTypeOf(ctx.type);
  // NG images always come from the first head.
  const int head = info.head_bits ? ctx.head : 0;
  if (!FindImages(ctx, head)) return kImagesFailed;
  if (!ChooseImages(ctx, info) || !ChooseFileName(ctx)) return kImagesNotWanted;
  ctx.host.ProcessPendingEvents(kEventsBeforeTransfer);
  if (!MayOverwrite(ctx, info)) return kImagesNotWanted;
  return TransferImages(ctx, info, head);
}

}  // namespace kyr::images
