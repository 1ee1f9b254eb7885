#include "line/unit_host.h"

namespace kyr::line {

tool::Answer UnitHost::ShowMessage(const tool::Message& message) {
  tool::Message own = message;
  own.text = name_ + ": " + message.text;
  return Turn([&] { return shared_.ShowMessage(own); });
}

std::optional<std::string> UnitHost::AskSaveFile(const std::vector<tool::FileFilter>& filters,
                                                 const std::string& initial_name) {
  return Turn([&] { return shared_.AskSaveFile(filters, initial_name); });
}

std::optional<std::string> UnitHost::AskOpenFile(const std::vector<tool::FileFilter>& filters,
                                                 const std::string& initial_name) {
  return Turn([&] { return shared_.AskOpenFile(filters, initial_name); });
}

std::vector<std::string> UnitHost::AskOpenFiles(const std::vector<tool::FileFilter>& filters) {
  return Turn([&] { return shared_.AskOpenFiles(filters); });
}

bool UnitHost::AskWriteChoices(tool::WriteChoices& choices) {
  return Turn([&] { return shared_.AskWriteChoices(choices); });
}

bool UnitHost::AskImageSelection(const tool::ImageSelectionDialog& dialog, std::uint64_t& mask) {
  return Turn([&] { return shared_.AskImageSelection(dialog, mask); });
}

bool UnitHost::AskImageNumber(int count, int& number) {
  return Turn([&] { return shared_.AskImageNumber(count, number); });
}

bool UnitHost::AbortRequested() {
  bool requested = false;
  board_.Hold([&] { requested = shared_.AbortRequested(); });
  return requested;
}

}  // namespace kyr::line
