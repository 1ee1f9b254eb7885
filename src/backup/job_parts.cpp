#include "backup/job_parts.h"

#include <cstdio>
#include <ostream>

#include "backup/operations.h"
#include "backup/record.h"

namespace kyr::backup::detail {

std::string_view KindOfType(int type) {
  return type == kTypeBank ? kKindBank : kKindMemory;
}

std::string KindWord(int type, Lang lang) {
  return std::string(
      LoadString(type == kTypeBank ? ToolText::kBankKind : ToolText::kMemoryKind, lang));
}

std::string ImagePath(const std::string& folder, int type, int number) {
  char name[32];
  std::snprintf(name, sizeof name, "%s.%02d.kimg", std::string(KindOfType(type)).c_str(), number);
  return folder + "/" + name;
}

std::string Text(ToolText id, const std::vector<std::string>& args, Lang lang) {
  return FormatMessage(LoadString(id, lang), args);
}

tool::Answer OperationHost::ShowMessage(const tool::Message& message) {
  if (message.buttons == tool::Buttons::YesNo || message.buttons == tool::Buttons::YesNoCancel)
    return tool::Answer::Yes;
  if (message.icon == tool::Icon::Information) return tool::Answer::Ok;
  return user_.ShowMessage(message);
}

std::optional<std::string> OperationHost::AskOpenFile(const std::vector<tool::FileFilter>&,
                                                      const std::string&) {
  if (open_paths.empty()) return std::nullopt;
  return open_paths.front();
}

bool OperationHost::AskImageSelection(const tool::ImageSelectionDialog&, std::uint64_t& mask) {
  if (selection) mask = *selection;
  return true;
}

bool OperationHost::AskImageNumber(int, int& chosen) {
  if (number) chosen = *number;
  return true;
}

}  // namespace kyr::backup::detail

namespace kyr::backup {

std::string_view OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::kDone:
      return "done";
    case Outcome::kRefused:
      return "refused";
    case Outcome::kFailed:
      return "failed";
    case Outcome::kDiffers:
      return "differs";
  }
  return "?";
}

std::ostream& operator<<(std::ostream& out, Outcome outcome) {
  return out << OutcomeName(outcome);
}

}  // namespace kyr::backup
