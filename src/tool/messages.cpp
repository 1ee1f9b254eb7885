#include "tool/messages.h"

#include <algorithm>
#include <array>
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

bool IsLinkFailureMessage(int id) {
  // Not connected, open failed, write short or failed, reply, count and receive failures,
  // communication error, head absent, unknown link error.
  constexpr std::array kIds = {132, 133, kMsgWritePartial,       kMsgWriteUsbFailed, 144,
                               145, 146, kMsgCommunicationError, kMsgHeadAbsent,     169};
  return std::find(kIds.begin(), kIds.end(), id) != kIds.end();
}

Message WithFailureNote(Message message, const std::string& note) {
  // A message that already carries the note (the open failures show discovery's detail
  // themselves) keeps it once.
  if (!note.empty() && IsLinkFailureMessage(message.string_id) &&
      message.text.find(note) == std::string::npos) {
    message.text += "\n" + note;
  }
  return message;
}

void ShowLinkFailure(ToolHost& host, link::LinkResult result) {
  ShowLinkFailure(host, result, std::string());
}

void ShowLinkFailure(ToolHost& host, link::LinkResult result, const std::string& detail) {
  if (result == link::LinkResult::kOk) return;
  const int id = link::LinkMessageId(result);
  host.ShowMessage(detail.empty() ? TitleErrorBox(id)
                                  : TitleErrorBox(id, ToolText(id) + "\n" + detail));
}

}  // namespace kyr::tool
