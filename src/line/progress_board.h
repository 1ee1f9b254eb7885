#pragma once
// One progress display for every unit of a line, on one text stream (stderr), fed from the
// units' threads. On a terminal it is a line per unit, redrawn in place at most five times a
// second; elsewhere, when asked for, a plain "progress NAME: ..." line at each tenth of a
// unit's way. Messages pass through it whole, one at a time, above the display.
#include <chrono>
#include <cstddef>
#include <functional>
#include <iosfwd>
#include <mutex>
#include <string>
#include <vector>

namespace kyr::line {

enum class BoardMode { kInPlace, kLines, kOff };

class ProgressBoard {
 public:
  // `width`: the terminal's columns (lines are cut to fit, so that redrawing in place
  // finds them again); 0 for no limit.
  ProgressBoard(std::ostream& out, std::vector<std::string> names, BoardMode mode, int width = 0);
  ~ProgressBoard();  // the last state of every unit stays on the terminal
  ProgressBoard(const ProgressBoard&) = delete;
  ProgressBoard& operator=(const ProgressBoard&) = delete;

  // Unit `unit` is `fraction` (0 to 1) of its way; `text` says where it stands.
  void Update(std::size_t unit, double fraction, const std::string& text);
  // The unit's work has ended; `text` is its last state.
  void Finish(std::size_t unit, const std::string& text);
  // Runs `print`, which writes whole lines to the same stream, with the display taken away,
  // then draws the display again. Calls from several threads take turns.
  void Pass(const std::function<void()>& print);
  // Runs `work`, which prints nothing, in turn with the other units' messages.
  void Hold(const std::function<void()>& work);

 private:
  void Erase();
  void Draw();
  std::string Fitted(const std::string& line) const;

  std::ostream& out_;
  std::vector<std::string> names_;
  std::vector<std::string> texts_;
  std::vector<int> tenths_;
  BoardMode mode_;
  int width_;
  std::size_t name_width_ = 0;
  std::mutex mutex_;
  int drawn_ = 0;  // lines of the display on the terminal now
  std::chrono::steady_clock::time_point last_draw_{};
};

}  // namespace kyr::line
