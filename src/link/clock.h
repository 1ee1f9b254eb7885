#pragma once
// Time as the link sees it: a millisecond tick count and a sleep.
//
// Every wait of the link (device polling, the recovery wait) goes through this interface so
// that tests can run the 10-second waits on a fake clock in no time.
#include <cstdint>

namespace kyr::link {

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since an arbitrary start; wraps around like a 32-bit tick counter.
  virtual std::uint32_t TickCount() = 0;
  virtual void Sleep(std::uint32_t milliseconds) = 0;
};

// The monotonic system clock.
class SystemClock final : public Clock {
 public:
  std::uint32_t TickCount() override;
  void Sleep(std::uint32_t milliseconds) override;
};

}  // namespace kyr::link
