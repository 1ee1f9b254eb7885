#include "console_host.h"

#include <unistd.h>

#include <iostream>
#include <string>

namespace kyr::ridgemo {

ConsoleHost::ConsoleHost(bool answer_yes, std::ostream& out, std::ostream& err)
    : answer_yes_(answer_yes), out_(out), err_(err) {}

tool::Answer ConsoleHost::ShowMessage(const tool::Message& message) {
  if (message.buttons == tool::Buttons::YesNo || message.buttons == tool::Buttons::YesNoCancel ||
      message.buttons == tool::Buttons::OkCancel) {
    return AskQuestion(message);
  }
  // Completions go to standard output, everything else is worth a look on stderr.
  std::ostream& stream = message.icon == tool::Icon::Information ? out_ : err_;
  stream << message.text << '\n';
  return tool::Answer::Ok;
}

tool::Answer ConsoleHost::AskQuestion(const tool::Message& message) {
  const tool::Answer yes =
      message.buttons == tool::Buttons::OkCancel ? tool::Answer::Ok : tool::Answer::Yes;
  const tool::Answer no =
      message.buttons == tool::Buttons::YesNo ? tool::Answer::No : tool::Answer::Cancel;
  err_ << message.text;
  if (answer_yes_) {
    err_ << " yes (--yes)\n";
    return yes;
  }
  if (isatty(STDIN_FILENO) == 0) {
    err_ << " no (use --yes to answer yes)\n";
    return no;
  }
  err_ << " [y/N] " << std::flush;
  std::string line;
  if (!std::getline(std::cin, line)) return no;
  return !line.empty() && (line[0] == 'y' || line[0] == 'Y') ? yes : no;
}

// The command line names its files in its arguments; no command asks for one.
std::optional<std::string> ConsoleHost::AskSaveFile(const std::vector<tool::FileFilter>&,
                                                    const std::string&) {
  return std::nullopt;
}

std::optional<std::string> ConsoleHost::AskOpenFile(const std::vector<tool::FileFilter>&,
                                                    const std::string&) {
  return std::nullopt;
}

std::vector<std::string> ConsoleHost::AskOpenFiles(const std::vector<tool::FileFilter>&) {
  return {};
}

void ConsoleHost::SetProgressRange(int, int) {}
void ConsoleHost::SetProgressPosition(int) {}
void ConsoleHost::ProcessPendingEvents(int) {}

}  // namespace kyr::ridgemo
