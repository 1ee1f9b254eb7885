// Image commands of the command line.
#include <memory>
#include <ostream>

#include "cli.h"
#include "images/canvas.h"
#include "images/ops/save_bitmap.h"
#include "images/raw_image.h"
#include "tool/messages.h"

namespace kyr::ridgemo {
// to-bmp IN.kimg OUT.bmp: the image file as the window shows it, saved as Save BMP does.
// Both paths are used exactly as given.
int RunToBmp(CommandContext& ctx) {
  if (ctx.args.size() != 2 || LooksLikeOption(ctx.args[0]) || LooksLikeOption(ctx.args[1])) {
    return UsageError(ctx, "to-bmp");
  }
  auto image = std::make_unique<images::RawImage>();
  auto canvas = std::make_unique<images::Canvas>();
  if (images::LoadImageFile(ctx.args[0], *image, *canvas) != images::ImageFileResult::kOk) {
    ctx.host.ShowMessage(tool::ErrorBox(ToolText::kCannotOpenImage));
    return kExitFailed;
  }
  return images::SaveCanvasBitmapAs(ctx.host, *canvas, ctx.args[1]) == images::Outcome::kDone
             ? kExitDone
             : kExitFailed;
}

}  // namespace kyr::ridgemo
