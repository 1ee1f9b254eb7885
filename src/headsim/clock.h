#pragma once
// Time source of the simulated head. The pty server runs on the steady clock; in-process
// tests inject a manual clock so that time-outs and late replies cost no real time.
#include <cstdint>

namespace kyr::headsim {

class Clock {
 public:
  virtual ~Clock() = default;
  // Monotonic time in microseconds; the origin is arbitrary.
  virtual std::int64_t NowMicros() const = 0;
};

class SteadyClock final : public Clock {
 public:
  std::int64_t NowMicros() const override;
};

// A clock that moves only when told to.
class ManualClock final : public Clock {
 public:
  std::int64_t NowMicros() const override { return now_; }
  void Advance(std::int64_t micros) { now_ += micros; }
  void AdvanceMillis(std::int64_t millis) { now_ += millis * 1000; }

 private:
  std::int64_t now_ = 0;
};

}  // namespace kyr::headsim
