#pragma once
// One progress for a whole backup or restore: the files and bytes of the job so far, and an
// estimate of the time left, made from the progress of the transfers run one after another.
#include <chrono>
#include <cstdint>
#include <functional>

namespace kyr::backup {

// Where a long job stands; seconds_left is negative until it can be estimated.
struct Progress {
  int files_done = 0;
  int files_total = 0;
  std::uint64_t bytes_done = 0;
  std::uint64_t bytes_total = 0;
  double seconds_left = -1;
};
using ProgressSink = std::function<void(const Progress&)>;

// Turns the progress positions of the transfers into bytes of the whole job.
class ProgressTracker {
 public:
  explicit ProgressTracker(ProgressSink sink);

  // The job plans `files` more files of `bytes` in all to move.
  void AddWork(int files, std::uint64_t bytes);
  // Fewer files than planned are there to move: the plan loses `files` of `bytes`. Planning
  // the most a job can move and dropping what is not there keeps the progress moving forward.
  void DropWork(int files, std::uint64_t bytes);
  // The next transfer moves `step_bytes` per progress position.
  void BeginOperation(std::uint64_t step_bytes);
  void Range(int low, int high);
  void Position(int position);
  void FilesDone(int files, std::uint64_t bytes);

 private:
  using Clock = std::chrono::steady_clock;
  void Emit(std::uint64_t bytes);

  ProgressSink sink_;
  Clock::time_point start_;
  Progress total_;
  std::uint64_t done_bytes_ = 0;
  std::uint64_t step_bytes_ = 0;
  int op_rounds_ = 0;
  int last_position_ = -1;
  int range_ = 0;
};

}  // namespace kyr::backup
