#include "images/save_bitmap.h"

#include "images/bitmap.h"
#include "images/file_io.h"
#include "strings/strings.h"

namespace kyr::images {
namespace {

constexpr int kBitmapExistsId = 141;
constexpr int kCannotCreateId = 142;

tool::Message ToolMessage(int id, const char* caption, tool::Icon icon, tool::Buttons buttons,
                          tool::Answer default_answer) {
  tool::Message message;
  message.string_id = id;
  message.text = std::string(LoadString(StringTable::Tool, id));
  message.caption = caption;
  message.icon = icon;
  message.buttons = buttons;
  message.default_answer = default_answer;
  return message;
}

}  // namespace

int SaveCanvasBitmap(tool::ToolHost& host, const Canvas& canvas) {
  const std::vector<tool::FileFilter> filters = {{"Windows bitmap ( *.bmp )", "*.bmp"},
                                                 {"All files(*.*)", "*.*"}};
  const std::optional<std::string> chosen = host.AskSaveFile(filters, "");
  if (!chosen || chosen->empty()) return kSaveNotWanted;
  std::string path = *chosen;
  if (!path.ends_with(".bmp")) path += ".bmp";
  return SaveCanvasBitmapAs(host, canvas, path);
}

int SaveCanvasBitmapAs(tool::ToolHost& host, const Canvas& canvas, const std::string& path) {
  if (detail::CanOpenForReading(path)) {
    const tool::Answer answer =
        host.ShowMessage(ToolMessage(kBitmapExistsId, "Warning", tool::Icon::Exclamation,
                                     tool::Buttons::YesNo, tool::Answer::Yes));
    if (answer != tool::Answer::Yes) return kSaveNotWanted;
  }
  if (!WriteCanvasBitmap(path, canvas)) {
    host.ShowMessage(ToolMessage(kCannotCreateId, "Error", tool::Icon::Error, tool::Buttons::Ok,
                                 tool::Answer::Ok));
    return kSaveFailed;
  }
  return kSaveDone;
}

}  // namespace kyr::images
