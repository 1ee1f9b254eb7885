// Write Image: image files or bitmaps into a head's bank or memory images.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "images/bitmap.h"
#include "images/ops/exchange.h"
#include "images/ops/image_ops.h"
#include "images/ops/image_types.h"
#include "images/ops/services.h"
#include "tool/link_session.h"
#include "tool/messages.h"

namespace kyr::images {
namespace {

// The image numbers the chosen files go to: the number chosen for one file, else the number
// each name carries.
std::vector<int> TargetNumbers(const ImageOpsContext& ctx, const std::vector<std::string>& paths) {
  if (paths.size() == 1) return {ctx.state.write_number};
  std::vector<int> numbers;
  for (const std::string& path : paths) numbers.push_back(NumberInFileName(path).value_or(0));
  return numbers;
}

constexpr int kEventsBeforeTransfer = 20;

bool IsBitmapName(const std::string& path) {
  return path.ends_with(".bmp");
}

bool IsImageFileName(const std::string& path) {
  return path.ends_with(".kimg");
}

// Checks the chosen names: the extension of each, and with several files the image number
// each name must carry. False (after the message) when the command ends.
bool NamesAreUsable(ImageOpsContext& ctx, const ImageTypeInfo& info,
                    const std::vector<std::string>& paths) {
  const bool several = paths.size() > 1;
  for (const std::string& path : paths) {
    if (!IsImageFileName(path) && !IsBitmapName(path)) {
      ctx.host.ShowMessage(tool::ErrorBox(ToolText::kBadExtension));
      return false;
    }
    if (!several) continue;
    const std::optional<int> number = NumberInFileName(path);
    if (!number) {
      ctx.host.ShowMessage(tool::ErrorBox(ToolText::kNameWithoutNumber));
      return false;
    }
    if (*number >= info.count) {
      ctx.host.ShowMessage(tool::ErrorBox(ToolText::kNumberTooLarge));
      return false;
    }
  }
  return true;
}

// One file: the number its name carries, or else the one used last, is offered in the
// image number dialog. False when the dialog is cancelled.
bool ChooseImageNumber(ImageOpsContext& ctx, const ImageTypeInfo& info, const std::string& path) {
  int& current = ctx.state.write_number;
  if (const std::optional<int> number = NumberInFileName(path)) current = *number;
  // The dialog can only offer numbers of this type: a number kept from another type, or one
  // that comes back out of range, is brought into it.
  current = std::clamp(current, 0, info.count - 1);
  int chosen = current;
  if (!ctx.host.AskImageNumber(info.count, chosen)) return false;
  current = std::clamp(chosen, 0, info.count - 1);
  return true;
}

// Loads an image file into the canvas and paints it; false (after kCannotOpenImage) when the
// file cannot be opened or is not one whole image.
bool ShowImageFile(ImageOpsContext& ctx, const std::string& path) {
  if (LoadImageFile(path, ctx.state.image, ctx.state.canvas) != ImageFileResult::kOk) {
    ctx.host.ShowMessage(tool::ErrorBox(ToolText::kCannotOpenImage));
    return false;
  }
  ctx.host.PaintCanvas();
  return true;
}

// Every image file of a multi-file write must be whole before anything is sent, so that a
// short file never ends a write half-way or sends made-up words.
bool ImageFilesAreWhole(ImageOpsContext& ctx, const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    if (!IsImageFileName(path)) continue;
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error || size != kImageFileBytes) {
      ctx.host.ShowMessage(tool::ErrorBox(ToolText::kCannotOpenImage));
      return false;
    }
  }
  return true;
}

// Reads the source of one image into ctx.state.image; false after its message.
bool LoadSource(ImageOpsContext& ctx, const std::string& path) {
  const ImageFileResult result = IsBitmapName(path) ? ReadBitmapFile(path, ctx.state.image)
                                                    : ReadImageFile(path, ctx.state.image);
  if (result == ImageFileResult::kCannotOpen) {
    ctx.host.ShowMessage(tool::ErrorBox(ToolText::kCannotOpenFile));
    return false;
  }
  if (result != ImageFileResult::kOk) {
    ctx.host.ShowMessage(
        tool::ErrorBox(IsBitmapName(path) ? ToolText::kBadBitmap : ToolText::kCannotOpenImage));
    return false;
  }
  return true;
}

enum class Stored { kYes, kFailed, kAborted };

// Writes ctx.state.image into image `number` through the service.
Stored SendImage(ImageOpsContext& ctx, const ImageTypeInfo& info, int number) {
  const ImageResult written =
      WriteImage(ctx.link, ctx.head, info.type, number, ctx.state.image, detail::HostHooks(ctx));
  detail::ShowImageFailure(ctx, written);
  if (written == ImageResult::kAborted) return Stored::kAborted;
  return written == ImageResult::kDone ? Stored::kYes : Stored::kFailed;
}

enum class Step { kDone, kSourceRefused, kFailed, kAborted };

// "aborted", and which images the head holds whole and which one it was storing.
void ShowAbort(ImageOpsContext& ctx, const std::vector<int>& written) {
  const Lang lang = CurrentLanguage();
  const std::string unfinished = ImageListText(ctx.type, {ctx.state.write_number}, lang);
  tool::Message box = tool::ErrorBox(ToolText::kAborted);
  box.text +=
      "\n" + (written.empty()
                  ? FormatMessage(LoadString(ToolText::kAbortWrittenNoImage, lang), {unfinished})
                  : FormatMessage(LoadString(ToolText::kAbortWrittenImages, lang),
                                  {ImageListText(ctx.type, written, lang), unfinished}));
  ctx.host.ShowMessage(box);
}

// Writes every chosen file into its image.
Step WriteFiles(ImageOpsContext& ctx, const ImageTypeInfo& info,
                const std::vector<std::string>& paths) {
  const bool several = paths.size() > 1;
  std::vector<int> written;
  for (const std::string& path : paths) {
    if (several) {
      ctx.state.write_number = NumberInFileName(path).value_or(0);
      ctx.host.ShowImageNumber(ctx.state.write_number);
      if (IsImageFileName(path) && !ShowImageFile(ctx, path)) return Step::kSourceRefused;
    }
    if (!LoadSource(ctx, path)) return Step::kSourceRefused;
    switch (SendImage(ctx, info, ctx.state.write_number)) {
      case Stored::kYes:
        written.push_back(ctx.state.write_number);
        break;
      case Stored::kFailed:
        return Step::kFailed;
      case Stored::kAborted:
        ShowAbort(ctx, written);
        return Step::kAborted;
    }
  }
  return Step::kDone;
}

// The transfer on one link session, with the commands disabled and Abort enabled (it takes
// effect while the head stores an image).
Outcome TransferFiles(ImageOpsContext& ctx, const ImageTypeInfo& info,
                      const std::vector<std::string>& paths) {
  if (!tool::OpenLinkToHead(ctx.host, ctx.link, ctx.port, ctx.head)) return Outcome::kFailed;
  ctx.host.EnableAbort(true);
  ctx.host.EnableCommands(false);
  ctx.host.ClearAbortRequest();
  Outcome result = Outcome::kDone;
  // Once the transfer ran, the head is told it ended, also after a failed block or an abort;
  // a source that could not be used ends the write before the head was sent anything of it.
  switch (WriteFiles(ctx, info, paths)) {
    case Step::kDone:
      detail::CloseImageLink(ctx, true);
      if (!ctx.state.failed) {
        ctx.host.ShowMessage(tool::FinishBox(ToolText::kImageWriteComplete));
      } else {
        result = Outcome::kFailed;
      }
      break;
    case Step::kSourceRefused:
      ctx.state.failed = true;
      ctx.link.CloseLink(false);
      result = Outcome::kRefused;
      break;
    case Step::kFailed:
      detail::CloseImageLink(ctx, true);
      result = Outcome::kFailed;
      break;
    case Step::kAborted:
      detail::CloseImageLink(ctx, true);
      result = Outcome::kAborted;
      break;
  }
  ctx.host.EnableAbort(false);
  ctx.host.EnableCommands(true);
  return result;
}

}  // namespace

Outcome WriteImages(ImageOpsContext& ctx) {
  ctx.state.failed = false;
  ctx.host.SetProgressRange(0, kBlocksPerImage);
  ctx.host.SetProgressPosition(0);
  const ImageTypeInfo& info = ImageTypeOf(ctx.type);
  if (info.type != ImageType::Bank && info.type != ImageType::Memory) {
    ctx.host.ShowMessage(tool::ErrorBox(ToolText::kOnlyBankAndMemory));
    return Outcome::kRefused;
  }
  const std::vector<tool::FileFilter> filters = {
      {"All image files ( *.kimg, *.bmp )", "*.kimg;*.bmp"},
      {"KYR image files ( *.kimg )", "*.kimg"},
      {"Bitmap files ( *.bmp )", "*.bmp"},
      {"All files( *.* )", "*.*"}};
  const std::vector<std::string> paths = ctx.host.AskOpenFiles(filters);
  if (paths.empty()) return Outcome::kNotWanted;
  if (!NamesAreUsable(ctx, info, paths)) return Outcome::kRefused;
  if (paths.size() == 1 && !ChooseImageNumber(ctx, info, paths.front())) return Outcome::kNotWanted;
  ctx.host.ProcessPendingEvents(kEventsBeforeTransfer);
  const std::string& first = paths.front();
  if (IsImageFileName(first) && !ShowImageFile(ctx, first)) return Outcome::kRefused;
  if (paths.size() > 1) {
    if (!ImageFilesAreWhole(ctx, paths)) return Outcome::kRefused;
    ctx.state.write_number = NumberInFileName(first).value_or(0);
  }
  ctx.host.ShowImageNumber(ctx.state.write_number);
  const ToolText question =
      IsBitmapName(first) ? ToolText::kColoursChange : ToolText::kOverwriteImage;
  tool::Message asked = tool::WarningQuestion(question);
  asked.text += "\n" + ImageListText(ctx.type, TargetNumbers(ctx, paths), CurrentLanguage());
  if (ctx.host.ShowMessage(asked) != tool::Answer::Yes) {
    return Outcome::kNotWanted;
  }
  return TransferFiles(ctx, info, paths);
}

}  // namespace kyr::images
