#include "transfer/messages.h"

#include <utility>

#include "strings/strings.h"

namespace kyr::transfer {
namespace {

tool::Message Box(int id, std::string text, const char* caption, tool::Icon icon) {
  tool::Message message;
  message.string_id = id;
  message.text = std::move(text);
  message.caption = caption;
  message.icon = icon;
  return message;
}

}  // namespace

std::string ToolText(int id) {
  return std::string(LoadString(StringTable::Tool, id));
}

tool::Message ErrorBox(int id) {
  return ErrorBox(id, ToolText(id));
}

tool::Message ErrorBox(int id, std::string text) {
  return Box(id, std::move(text), "Error", tool::Icon::Error);
}

tool::Message TitleErrorBox(int id) {
  return TitleErrorBox(id, ToolText(id));
}

tool::Message TitleErrorBox(int id, std::string text) {
  return Box(id, std::move(text), "", tool::Icon::Error);
}

tool::Message FinishBox(int id) {
  return Box(id, ToolText(id), "Finish", tool::Icon::Information);
}

tool::Message OverwriteQuestion() {
  tool::Message message =
      Box(kMsgOverwrite, ToolText(kMsgOverwrite), "Warning", tool::Icon::Exclamation);
  message.buttons = tool::Buttons::YesNo;
  message.default_answer = tool::Answer::Yes;
  return message;
}

}  // namespace kyr::transfer
