#include "tool/messages.h"

#include <algorithm>
#include <array>
#include <utility>

#include "files/atomic_file.h"
#include "link/result_codes.h"
#include "strings/strings.h"

namespace kyr::tool {
namespace {

Message Box(ToolText id, std::string text, const char* caption, Icon icon) {
  Message message;
  message.string_id = TextNumber(id);
  message.text = std::move(text);
  message.caption = caption;
  message.icon = icon;
  return message;
}

}  // namespace

std::string Text(ToolText id) {
  return std::string(LoadString(id));
}

Message ErrorBox(ToolText id) {
  return ErrorBox(id, Text(id));
}

Message ErrorBox(ToolText id, std::string text) {
  return Box(id, std::move(text), "Error", Icon::Error);
}

Message CannotWriteBox(const std::string& path) {
  switch (files::CheckWriteTarget(path)) {
    case files::WriteTarget::kDanglingLink:
      return ErrorBox(ToolText::kDanglingLink);
    case files::WriteTarget::kNotRegular:
      return ErrorBox(ToolText::kNotRegularFile);
    case files::WriteTarget::kWritable:
      break;
  }
  return ErrorBox(ToolText::kCannotCreate);
}

Message TitleErrorBox(ToolText id) {
  return TitleErrorBox(id, Text(id));
}

Message TitleErrorBox(ToolText id, std::string text) {
  return Box(id, std::move(text), "", Icon::Error);
}

Message FinishBox(ToolText id) {
  return Box(id, Text(id), "Finish", Icon::Information);
}

Message WarningQuestion(ToolText id) {
  Message message = Box(id, Text(id), "Warning", Icon::Exclamation);
  message.buttons = Buttons::YesNo;
  message.default_answer = Answer::Yes;
  return message;
}

bool IsLinkFailureMessage(int string_id) {
  // Not connected, open failed, write short or failed, reply, count and receive failures,
  // communication error, head absent, unknown link error.
  using enum ToolText;
  constexpr std::array kIds = {kNotConnected, kCannotOpenPort,  kWritePartial,  kWriteUsbFailed,
                               kBadReply,     kReadCountWrong,  kReceiveFailed, kCommunicationError,
                               kHeadAbsent,   kUnknownCommError};
  return std::any_of(kIds.begin(), kIds.end(),
                     [string_id](ToolText id) { return TextNumber(id) == string_id; });
}

Message WithFailureNote(Message message, const link::FailureNote& failure) {
  // A message that already carries the note (the open failures show discovery's detail
  // themselves) keeps it once.
  const std::string note = failure.Line();
  if (note.empty() || !IsLinkFailureMessage(message.string_id)) return message;
  if (message.text.find(note) == std::string::npos) message.text += "\n" + note;
  const std::string_view hint = LoadString(ToolText::kNoUnitHint);
  if (failure.NoHeadFound() && message.text.find(hint) == std::string::npos) {
    message.text += "\n";
    message.text += hint;
  }
  return message;
}

void ShowLinkFailure(ToolHost& host, link::LinkResult result) {
  ShowLinkFailure(host, result, std::string());
}

void ShowLinkFailure(ToolHost& host, link::LinkResult result, const std::string& detail) {
  if (result == link::LinkResult::kOk) return;
  const ToolText id = link::LinkMessageId(result);
  host.ShowMessage(detail.empty() ? TitleErrorBox(id)
                                  : TitleErrorBox(id, Text(id) + "\n" + detail));
}

}  // namespace kyr::tool
