#include "line/progress_board.h"

#include <algorithm>
#include <ostream>

namespace kyr::line {
namespace {

constexpr auto kRedrawEvery = std::chrono::milliseconds(200);

// Columns of a UTF-8 character starting with `lead`: two for the wide characters of
// Japanese text (three-byte sequences and longer), else one.
int Columns(unsigned char lead) {
  return lead >= 0xE0 ? 2 : 1;
}

bool Continues(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

}  // namespace

ProgressBoard::ProgressBoard(std::ostream& out, std::vector<std::string> names, BoardMode mode,
                             int width)
    : out_(out),
      names_(std::move(names)),
      texts_(names_.size()),
      tenths_(names_.size(), -1),
      mode_(mode),
      width_(width) {
  for (const std::string& name : names_) name_width_ = std::max(name_width_, name.size());
}

ProgressBoard::~ProgressBoard() {
  const std::lock_guard lock(mutex_);
  if (drawn_ > 0) Draw();
}

void ProgressBoard::Update(std::size_t unit, double fraction, const std::string& text) {
  const std::lock_guard lock(mutex_);
  if (mode_ == BoardMode::kOff) return;
  texts_[unit] = text;
  if (mode_ == BoardMode::kLines) {
    const int tenth = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 10);
    if (tenth == tenths_[unit]) return;
    tenths_[unit] = tenth;
    out_ << "progress " << names_[unit] << ": " << text << '\n' << std::flush;
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  if (drawn_ > 0 && now - last_draw_ < kRedrawEvery) return;
  last_draw_ = now;
  Draw();
}

void ProgressBoard::Finish(std::size_t unit, const std::string& text) {
  const std::lock_guard lock(mutex_);
  texts_[unit] = text;
  if (mode_ == BoardMode::kInPlace && drawn_ > 0) Draw();
}

void ProgressBoard::Pass(const std::function<void()>& print) {
  const std::lock_guard lock(mutex_);
  const bool shown = drawn_ > 0;
  Erase();
  print();
  out_ << std::flush;
  if (shown) Draw();
}

void ProgressBoard::Hold(const std::function<void()>& work) {
  const std::lock_guard lock(mutex_);
  work();
}

void ProgressBoard::Erase() {
  if (drawn_ == 0) return;
  out_ << "\x1b[" << drawn_ << "A\r\x1b[J";
  drawn_ = 0;
}

void ProgressBoard::Draw() {
  if (drawn_ > 0) out_ << "\x1b[" << drawn_ << "A\r";
  for (std::size_t i = 0; i < names_.size(); ++i) {
    std::string line = names_[i];
    line.resize(name_width_, ' ');
    out_ << Fitted(line + "  " + texts_[i]) << "\x1b[K\n";
  }
  out_ << std::flush;
  drawn_ = static_cast<int>(names_.size());
}

// The line cut to the terminal's width less one column, at a character's boundary.
std::string ProgressBoard::Fitted(const std::string& line) const {
  if (width_ <= 1) return line;
  int used = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const auto byte = static_cast<unsigned char>(line[i]);
    if (Continues(byte)) continue;
    used += Columns(byte);
    if (used > width_ - 1) return line.substr(0, i);
  }
  return line;
}

}  // namespace kyr::line
