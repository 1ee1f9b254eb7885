#pragma once
// The tool's host for the command line: messages go to the terminal, questions are
// answered by --yes, by asking on a terminal, or else with No.
#include <cstdint>
#include <iosfwd>
#include <string_view>
#include <vector>

#include "link/link.h"
#include "tool/tool_host.h"

namespace kyr::ridgemo {

// Where progress is shown: on a terminal as a bar redrawn in place; with kAlways on anything
// else as a line for every tenth of the way.
enum class ProgressMode { kOnTerminal, kAlways, kOff };

class ConsoleHost : public tool::ToolHost {
 public:
  ConsoleHost(bool answer_yes, std::ostream& out, std::ostream& err,
              ProgressMode progress = ProgressMode::kOnTerminal);
  ~ConsoleHost() override;

  // The link whose failure note is printed under link failure messages, and whose stalls
  // are told on stderr (none: neither).
  void WatchLink(link::Link* link);
  // The head has not answered a request about `block` (-1: none) for more than a second.
  void ShowStall(int block);

  userport::Answer ShowMessage(const userport::Message& message) override;
  std::optional<std::string> AskSaveFile(const std::vector<userport::FileFilter>& filters,
                                         const std::string& initial_name) override;
  std::optional<std::string> AskOpenFile(const std::vector<userport::FileFilter>& filters,
                                         const std::string& initial_name) override;
  std::vector<std::string> AskOpenFiles(const std::vector<userport::FileFilter>& filters) override;
  void SetProgressRange(int low, int high) override;
  void SetProgressPosition(int position) override;
  void ProcessPendingEvents(int count) override;
  // The image dialogs are answered as offered, as if GO was pressed at once; commands that
  // take choices from their arguments answer them in a host of their own.
  bool AskImageSelection(const tool::ImageSelectionDialog& dialog, std::uint64_t& mask) override;
  bool AskImageNumber(int count, int& number) override;
  // Ctrl-C or SIGTERM while an InterruptGuard lives; never cleared by the operations.
  bool AbortRequested() override;
  // A note of the link (-v), on a line of its own on stderr.
  void Note(std::string_view note);

  // What a message box showed, and the answer to a question (--json keeps them for the
  // command's summary instead of printing them).
  struct Shown {
    userport::Message message;
    userport::Answer answer = userport::Answer::Ok;
  };
  void KeepMessages() { keep_messages_ = true; }
  const std::vector<Shown>& kept() const { return kept_; }

 private:
  userport::Answer AskQuestion(const userport::Message& message);
  // Ends the progress bar's line so that the next text starts on a line of its own.
  void EndProgressLine();

  bool answer_yes_;
  std::ostream& out_;
  std::ostream& err_;
  bool progress_on_terminal_;  // stderr is a terminal: the bar is redrawn in place
  bool progress_as_lines_;     // elsewhere, with --progress: a line per tenth
  int progress_low_ = 0;
  int last_tenth_ = -1;
  int progress_high_ = 0;
  bool bar_shown_ = false;
  link::Link* link_ = nullptr;
  bool keep_messages_ = false;
  std::vector<Shown> kept_;
};

// While it lives, `host` prints `link`'s failure note under link failure messages and tells
// its stalls.
class LinkWatch {
 public:
  LinkWatch(ConsoleHost* host, link::Link& link) : host_(host) {
    if (host_ != nullptr) host_->WatchLink(&link);
  }
  ~LinkWatch() {
    if (host_ != nullptr) host_->WatchLink(nullptr);
  }
  LinkWatch(const LinkWatch&) = delete;
  LinkWatch& operator=(const LinkWatch&) = delete;

 private:
  ConsoleHost* host_;
};

}  // namespace kyr::ridgemo
