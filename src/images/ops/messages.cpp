#include "images/ops/messages.h"

#include <string>

#include "link/result_codes.h"
#include "strings/strings.h"

namespace kyr::images {
namespace {

tool::Message Box(int id, const char* caption, tool::Icon icon, tool::Buttons buttons) {
  tool::Message message;
  message.string_id = id;
  message.text = std::string(LoadString(StringTable::Tool, id));
  message.caption = caption;
  message.icon = icon;
  message.buttons = buttons;
  message.default_answer = buttons == tool::Buttons::YesNo ? tool::Answer::Yes : tool::Answer::Ok;
  return message;
}

}  // namespace

tool::Message ErrorBox(int id) {
  return Box(id, "Error", tool::Icon::Error, tool::Buttons::Ok);
}

tool::Message TitleErrorBox(int id) {
  return Box(id, "", tool::Icon::Error, tool::Buttons::Ok);
}

tool::Message FinishBox(int id) {
  return Box(id, "Finish", tool::Icon::Information, tool::Buttons::Ok);
}

tool::Message WarningQuestion(int id) {
  return Box(id, "Warning", tool::Icon::Exclamation, tool::Buttons::YesNo);
}

void ShowLinkFailure(tool::ToolHost& host, int code) {
  if (code == link::kOk) return;
  host.ShowMessage(TitleErrorBox(link::LinkMessageId(code)));
}

}  // namespace kyr::images
