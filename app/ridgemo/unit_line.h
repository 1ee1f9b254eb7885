#pragma once
// Work on several head units at once for the command line: one thread and one link per
// unit, one progress display on the terminal that shows every unit, and a host through
// which the units' messages reach the terminal one at a time.
#include <cstddef>
#include <functional>
#include <iosfwd>
#include <mutex>
#include <string>
#include <vector>

#include "backup/operations.h"
#include "tool/tool_host.h"

namespace kyr::ridgemo {

// One line per unit ("SERIAL: text"), redrawn in place at most five times a second; nothing
// when stderr is not a terminal. Text printed through Print stands above the lines.
class UnitsProgress {
 public:
  using Format = std::function<std::string(const backup::Progress&)>;
  UnitsProgress(std::ostream& err, std::vector<std::string> units, Format format);
  ~UnitsProgress();
  UnitsProgress(const UnitsProgress&) = delete;
  UnitsProgress& operator=(const UnitsProgress&) = delete;

  backup::ProgressSink Sink(std::size_t unit);
  // The unit's last line, once its work has ended.
  void Finish(std::size_t unit, const std::string& text);
  // Runs `print` (which writes whole lines) with the display taken away, then draws it again.
  void Print(const std::function<void()>& print);

 private:
  void Erase();
  void Draw();

  std::ostream& err_;
  const bool shown_;
  std::vector<std::string> units_;
  std::vector<std::string> lines_;
  Format format_;
  std::mutex mutex_;
  int drawn_ = 0;  // lines of the display on the terminal now
  std::chrono::steady_clock::time_point last_{};
};

// The user as several units share it: messages and questions one at a time, above the
// progress display; the transfers' own progress bars stay off (the display shows them).
class SharedHost final : public tool::ToolHost {
 public:
  SharedHost(tool::ToolHost& inner, UnitsProgress& progress) : inner_(inner), progress_(progress) {}

  tool::Answer ShowMessage(const tool::Message& message) override;
  std::optional<std::string> AskSaveFile(const std::vector<tool::FileFilter>& filters,
                                         const std::string& initial_name) override;
  std::optional<std::string> AskOpenFile(const std::vector<tool::FileFilter>& filters,
                                         const std::string& initial_name) override;
  std::vector<std::string> AskOpenFiles(const std::vector<tool::FileFilter>& filters) override;
  void SetProgressRange(int, int) override {}
  void SetProgressPosition(int) override {}
  void ProcessPendingEvents(int) override {}
  bool AskImageSelection(const tool::ImageSelectionDialog& dialog, std::uint64_t& mask) override;
  bool AskImageNumber(int count, int& number) override;

 private:
  tool::ToolHost& inner_;
  UnitsProgress& progress_;
};

// Runs `work(i)` for every unit i from 0 to count - 1, each on a thread of its own, or one
// after another when `one_by_one`; the results in unit order.
std::vector<bool> RunOnUnits(std::size_t count, bool one_by_one,
                             const std::function<bool(std::size_t)>& work);

}  // namespace kyr::ridgemo
