#include "backup/progress.h"

#include <algorithm>
#include <utility>

namespace kyr::backup {

ProgressTracker::ProgressTracker(ProgressSink sink)
    : sink_(std::move(sink)), start_(Clock::now()) {}

void ProgressTracker::AddWork(int files, std::uint64_t bytes) {
  total_.files_total += files;
  total_.bytes_total += bytes;
  Emit(done_bytes_);
}

void ProgressTracker::DropWork(int files, std::uint64_t bytes) {
  total_.files_total = std::max(total_.files_done, total_.files_total - files);
  total_.bytes_total =
      std::max(done_bytes_, total_.bytes_total - std::min(bytes, total_.bytes_total));
  Emit(done_bytes_);
}

void ProgressTracker::BeginOperation(std::uint64_t step_bytes) {
  step_bytes_ = step_bytes;
  op_rounds_ = 0;
  last_position_ = -1;
  range_ = 0;
}

void ProgressTracker::Range(int low, int high) {
  range_ = std::max(0, high - low);
}

void ProgressTracker::Position(int position) {
  if (position < last_position_) ++op_rounds_;  // the next image of the transfer began
  last_position_ = position;
  const auto steps = static_cast<std::uint64_t>(op_rounds_) * static_cast<std::uint64_t>(range_) +
                     static_cast<std::uint64_t>(position + 1);
  Emit(done_bytes_ + steps * step_bytes_);
}

void ProgressTracker::FilesDone(int files, std::uint64_t bytes) {
  total_.files_done += files;
  done_bytes_ += bytes;
  Emit(done_bytes_);
}

void ProgressTracker::Emit(std::uint64_t bytes) {
  if (!sink_) return;
  Progress progress = total_;
  progress.bytes_done = std::min(bytes, progress.bytes_total);
  const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
  if (progress.bytes_done > 0 && elapsed > 1.0) {
    progress.seconds_left = elapsed *
                            static_cast<double>(progress.bytes_total - progress.bytes_done) /
                            static_cast<double>(progress.bytes_done);
  }
  sink_(progress);
}

}  // namespace kyr::backup
