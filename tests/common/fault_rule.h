#pragma once
// Fault rules for the simulated head, in one line.
#include <cstdint>

#include "headsim/faults.h"

namespace kyr::test_common {

// Fires `times` times (negative: always) on replies to `command` for `block`; a late reply
// comes `delay_ms` late.
inline headsim::FaultRule Fault(headsim::FaultKind kind, int command, int block, int times = 1,
                                std::int64_t delay_ms = 1000) {
  headsim::FaultRule rule;
  rule.kind = kind;
  rule.command = command;
  rule.block = block;
  rule.times = times;
  rule.delay_ms = delay_ms;
  return rule;
}

}  // namespace kyr::test_common
