#include "headsim/clock.h"

#include <chrono>

namespace kyr::headsim {

std::int64_t SteadyClock::NowMicros() const {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace kyr::headsim
