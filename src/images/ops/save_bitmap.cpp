#include "images/ops/save_bitmap.h"

#include "files/atomic_file.h"
#include "images/bitmap.h"
#include "settings/settings_file.h"
#include "tool/messages.h"

namespace kyr::images {
namespace {}  // namespace

Outcome SaveCanvasBitmap(tool::ToolHost& host, const Canvas& canvas) {
  const std::vector<tool::FileFilter> filters = {{"Windows bitmap ( *.bmp )", "*.bmp"},
                                                 {"All files(*.*)", "*.*"}};
  const std::optional<std::string> chosen = host.AskSaveFile(filters, "");
  if (!chosen || chosen->empty()) return Outcome::kNotWanted;
  return SaveCanvasBitmapAs(host, canvas, settings::WithExtension(*chosen, ".bmp"));
}

Outcome SaveCanvasBitmapAs(tool::ToolHost& host, const Canvas& canvas, const std::string& path) {
  if (files::CanOpenForReading(path)) {
    const tool::Answer answer = host.ShowMessage(tool::WarningQuestion(ToolText::kBitmapExists));
    if (answer != tool::Answer::Yes) return Outcome::kNotWanted;
  }
  if (!WriteCanvasBitmap(path, canvas)) {
    host.ShowMessage(tool::CannotWriteBox(path));
    return Outcome::kFailed;
  }
  return Outcome::kDone;
}

}  // namespace kyr::images
