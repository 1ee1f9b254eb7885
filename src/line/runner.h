#pragma once
// Work on every unit of a line at once: one thread per unit, each with its own link, so that
// a line takes about as long as its slowest unit rather than the sum of all of them.
//
//   std::vector<UnitResult> results = RunOnUnits(units.size(), [&](std::size_t i, std::string&
//   problem) {
//     return BackupOne(units[i], problem);  // true when the unit's work is complete
//   });
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace kyr::line {

struct UnitResult {
  bool done = false;
  std::string problem{};  // why not, as the work said it
};

// The work for unit `index`: true when it is complete, else `problem` may say why.
using UnitWork = std::function<bool(std::size_t index, std::string& problem)>;

// Runs `work` for the units 0 to count - 1, each on a thread of its own, and returns when all
// have ended; the results in unit order. A unit that fails, or whose work throws, does not
// stop the others. `work` is called from several threads at once: what it shares with the
// other units must be safe for that.
std::vector<UnitResult> RunOnUnits(std::size_t count, const UnitWork& work);

}  // namespace kyr::line
