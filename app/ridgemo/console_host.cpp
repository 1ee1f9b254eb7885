#include "console_host.h"

#include "interrupt_guard.h"

#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <string>

#include "strings/strings.h"
#include "tool/messages.h"

namespace kyr::ridgemo {

namespace {

constexpr int kBarWidth = 40;

}  // namespace

namespace {

bool IsTerminal(const std::ostream& err) {
  return &err == &std::cerr && isatty(STDERR_FILENO) != 0;
}

}  // namespace

ConsoleHost::ConsoleHost(bool answer_yes, std::ostream& out, std::ostream& err,
                         ProgressMode progress)
    : answer_yes_(answer_yes),
      out_(out),
      err_(err),
      progress_on_terminal_(progress != ProgressMode::kOff && IsTerminal(err)),
      progress_as_lines_(progress == ProgressMode::kAlways && !IsTerminal(err)) {}

ConsoleHost::~ConsoleHost() {
  EndProgressLine();
}

void ConsoleHost::WatchLink(link::Link* link) {
  if (link_ != nullptr) link_->SetStallNotice(nullptr);
  link_ = link;
  if (link_ != nullptr) link_->SetStallNotice([this](int block) { ShowStall(block); });
}

void ConsoleHost::ShowStall(int block) {
  EndProgressLine();
  const std::string text =
      block < 0 ? std::string(LoadString(ToolText::kWaitingForHead))
                : FormatMessage(LoadString(ToolText::kWaitingForBlock), {std::to_string(block)});
  err_ << text << '\n' << std::flush;
}

void ConsoleHost::EndProgressLine() {
  if (!bar_shown_) return;
  err_ << '\n' << std::flush;
  bar_shown_ = false;
}

userport::Answer ConsoleHost::ShowMessage(const userport::Message& message) {
  EndProgressLine();
  const userport::Message shown =
      link_ != nullptr ? tool::WithFailureNote(message, link_->LastFailure()) : message;
  if (userport::IsQuestion(message.buttons)) {
    const userport::Answer answer = AskQuestion(message);
    if (keep_messages_) kept_.push_back({message, answer});
    return answer;
  }
  if (keep_messages_) {
    kept_.push_back({shown, userport::Answer::Ok});
    return userport::Answer::Ok;
  }
  // Completions go to standard output, everything else is worth a look on stderr.
  std::ostream& stream = message.icon == userport::Icon::Information ? out_ : err_;
  stream << shown.text << '\n';
  return userport::Answer::Ok;
}

userport::Answer ConsoleHost::AskQuestion(const userport::Message& message) {
  const userport::Answer yes = userport::AcceptAnswer(message.buttons);
  const userport::Answer no = userport::DeclineAnswer(message.buttons);
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
std::optional<std::string> ConsoleHost::AskSaveFile(const std::vector<userport::FileFilter>&,
                                                    const std::string&) {
  return std::nullopt;
}

std::optional<std::string> ConsoleHost::AskOpenFile(const std::vector<userport::FileFilter>&,
                                                    const std::string&) {
  return std::nullopt;
}

std::vector<std::string> ConsoleHost::AskOpenFiles(const std::vector<userport::FileFilter>&) {
  return {};
}

void ConsoleHost::SetProgressRange(int low, int high) {
  progress_low_ = low;
  progress_high_ = high;
  last_tenth_ = -1;
}

void ConsoleHost::SetProgressPosition(int position) {
  if (progress_high_ <= progress_low_) return;
  const int span = progress_high_ - progress_low_;
  const int done = std::clamp(position - progress_low_, 0, span);
  if (progress_as_lines_) {
    const int tenth = done * 10 / span;
    if (tenth == last_tenth_) return;
    last_tenth_ = tenth;
    err_ << "progress " << done << '/' << span << '\n' << std::flush;
    return;
  }
  if (!progress_on_terminal_) return;
  const int filled = done * kBarWidth / span;
  err_ << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
       << std::string(static_cast<std::size_t>(kBarWidth - filled), '.') << "] " << done << '/'
       << span << std::flush;
  bar_shown_ = true;
}
void ConsoleHost::ProcessPendingEvents(int) {}

bool ConsoleHost::AskImageSelection(const tool::ImageSelectionDialog&, std::uint64_t&) {
  return true;
}

bool ConsoleHost::AskImageNumber(int, int&) {
  return true;
}

void ConsoleHost::Note(std::string_view note) {
  EndProgressLine();
  err_ << "ridgemo: " << note << '\n' << std::flush;
}

bool ConsoleHost::AbortRequested() {
  return InterruptGuard::Interrupted();
}

}  // namespace kyr::ridgemo
