#include "tool/messages.h"

#include <utility>

#include "link/result_codes.h"
#include "strings/strings.h"

namespace kyr::tool {
namespace {

Message Box(int id, std::string text, const char* caption, Icon icon) {
  Message message;
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

Message ErrorBox(int id) {
  return ErrorBox(id, ToolText(id));
}

Message ErrorBox(int id, std::string text) {
  return Box(id, std::move(text), "Error", Icon::Error);
}

Message TitleErrorBox(int id) {
  return TitleErrorBox(id, ToolText(id));
}

Message TitleErrorBox(int id, std::string text) {
  return Box(id, std::move(text), "", Icon::Error);
}

Message FinishBox(int id) {
  return Box(id, ToolText(id), "Finish", Icon::Information);
}

Message WarningQuestion(int id) {
  Message message = Box(id, ToolText(id), "Warning", Icon::Exclamation);
  message.buttons = Buttons::YesNo;
  message.default_answer = Answer::Yes;
  return message;
}

void ShowLinkFailure(ToolHost& host, int code) {
  ShowLinkFailure(host, code, std::string());
}

void ShowLinkFailure(ToolHost& host, int code, const std::string& detail) {
  if (code == link::kOk) return;
  const int id = link::LinkMessageId(code);
  host.ShowMessage(detail.empty() ? TitleErrorBox(id)
                                  : TitleErrorBox(id, ToolText(id) + "\n" + detail));
}

}  // namespace kyr::tool
