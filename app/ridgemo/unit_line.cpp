#include "unit_line.h"

#include <unistd.h>

#include <chrono>
#include <ostream>
#include <thread>

namespace kyr::ridgemo {

UnitsProgress::UnitsProgress(std::ostream& err, std::vector<std::string> units, Format format)
    : err_(err),
      shown_(::isatty(STDERR_FILENO) != 0),
      units_(std::move(units)),
      lines_(units_.size()),
      format_(std::move(format)) {}

UnitsProgress::~UnitsProgress() {
  std::lock_guard lock(mutex_);
  if (shown_ && drawn_ > 0) Draw();  // the last state of every unit stays on the terminal
  err_ << std::flush;
}

backup::ProgressSink UnitsProgress::Sink(std::size_t unit) {
  if (!shown_) return nullptr;
  return [this, unit](const backup::Progress& p) {
    std::lock_guard lock(mutex_);
    lines_[unit] = format_(p);
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::milliseconds(200)) return;
    last_ = now;
    Draw();
  };
}

void UnitsProgress::Finish(std::size_t unit, const std::string& text) {
  std::lock_guard lock(mutex_);
  lines_[unit] = text;
  if (shown_ && drawn_ > 0) Draw();
}

void UnitsProgress::Print(const std::function<void()>& print) {
  std::lock_guard lock(mutex_);
  Erase();
  print();
  if (shown_ && last_ != std::chrono::steady_clock::time_point{}) Draw();
}

void UnitsProgress::Erase() {
  if (drawn_ == 0) return;
  err_ << "\r\x1b[" << drawn_ << "A\x1b[J" << std::flush;
  drawn_ = 0;
}

void UnitsProgress::Draw() {
  if (drawn_ > 0) err_ << "\r\x1b[" << drawn_ << 'A';
  for (std::size_t i = 0; i < units_.size(); ++i)
    err_ << units_[i] << ": " << lines_[i] << "\x1b[K\n";
  err_ << std::flush;
  drawn_ = static_cast<int>(units_.size());
}

tool::Answer SharedHost::ShowMessage(const tool::Message& message) {
  tool::Answer answer{};
  progress_.Print([&] { answer = inner_.ShowMessage(message); });
  return answer;
}

std::optional<std::string> SharedHost::AskSaveFile(const std::vector<tool::FileFilter>& filters,
                                                   const std::string& initial_name) {
  std::optional<std::string> answer;
  progress_.Print([&] { answer = inner_.AskSaveFile(filters, initial_name); });
  return answer;
}

std::optional<std::string> SharedHost::AskOpenFile(const std::vector<tool::FileFilter>& filters,
                                                   const std::string& initial_name) {
  std::optional<std::string> answer;
  progress_.Print([&] { answer = inner_.AskOpenFile(filters, initial_name); });
  return answer;
}

std::vector<std::string> SharedHost::AskOpenFiles(const std::vector<tool::FileFilter>& filters) {
  std::vector<std::string> answer;
  progress_.Print([&] { answer = inner_.AskOpenFiles(filters); });
  return answer;
}

bool SharedHost::AskImageSelection(const tool::ImageSelectionDialog& dialog, std::uint64_t& mask) {
  bool answer = false;
  progress_.Print([&] { answer = inner_.AskImageSelection(dialog, mask); });
  return answer;
}

bool SharedHost::AskImageNumber(int count, int& number) {
  bool answer = false;
  progress_.Print([&] { answer = inner_.AskImageNumber(count, number); });
  return answer;
}

std::vector<bool> RunOnUnits(std::size_t count, bool one_by_one,
                             const std::function<bool(std::size_t)>& work) {
  std::vector<char> done(count, 0);  // not vector<bool>: each thread writes its own element
  if (one_by_one) {
    for (std::size_t i = 0; i < count; ++i) done[i] = work(i);
  } else {
    std::vector<std::jthread> threads;
    for (std::size_t i = 0; i < count; ++i)
      threads.emplace_back([&work, &done, i] { done[i] = work(i); });
  }  // the threads are joined here
  return std::vector<bool>(done.begin(), done.end());
}

}  // namespace kyr::ridgemo
