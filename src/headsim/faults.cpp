#include "headsim/faults.h"

namespace kyr::headsim {

void FaultPlan::Clear() {
  rules_.clear();
  random_ = false;
  random_kinds_.clear();
}

void FaultPlan::SetRandom(std::uint32_t seed, int per_mille, const std::vector<FaultKind>& kinds,
                          std::int64_t late_delay_ms) {
  generator_.seed(seed);
  per_mille_ = per_mille;
  random_kinds_ = kinds;
  random_delay_ms_ = late_delay_ms;
  random_ = per_mille > 0 && !kinds.empty();
}

FaultDecision FaultPlan::Decide(int command, int block) {
  FaultDecision decision;
  for (FaultRule& rule : rules_) {
    if (rule.times == 0) continue;
    if (rule.command != kAny && rule.command != command) continue;
    if (rule.block != kAny && rule.block != block) continue;
    if (rule.skip > 0) {
      --rule.skip;
      continue;
    }
    if (rule.times > 0) --rule.times;
    decision = {rule.kind, rule.delay_ms};
    break;
  }
  if (decision.kind == FaultKind::kNone && random_) {
    // Raw generator output keeps the sequence identical across standard libraries.
    const auto draw = static_cast<std::uint32_t>(generator_());
    if (draw % 1000 < static_cast<std::uint32_t>(per_mille_)) {
      const auto pick = static_cast<std::uint32_t>(generator_());
      decision = {random_kinds_[pick % random_kinds_.size()], random_delay_ms_};
    }
  }
  if (decision.kind != FaultKind::kNone) ++fired_[static_cast<int>(decision.kind)];
  return decision;
}

}  // namespace kyr::headsim
