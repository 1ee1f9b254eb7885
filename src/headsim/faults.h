#pragma once
// Faults the simulated head can be told to commit, for tests of the tool's error paths.
//
// A rule names a command byte (head bits included, or any) and a block (or any) and fires
// on the replies that match, a given number of times. Blocks are the head's own view of
// which piece of memory a reply carries:
//   read memory            reply address / reply size in bytes
//   write memory           address / data size in bytes
//   image reads and writes block 0 to 511 of the image
//   NG table read          word offset / words asked
//   monitor request        part number 0 to 7
//   everything else        0
// The random mode draws a fault for each reply from a seeded generator, so a soak run can
// be repeated exactly.
#include <array>
#include <cstdint>
#include <random>
#include <vector>

namespace kyr::headsim {

enum class FaultKind : std::uint8_t {
  kNone,
  kBadChecksum,   // the reply's last byte is off by one
  kNak,           // a negative acknowledge instead of the reply; the command is not carried out
  kShortReply,    // the reply stops half-way
  kMissingReply,  // the command is carried out but nothing is sent back
  kLateReply,     // the reply is held back for a delay
  kDroppedLink,   // the head disappears: no reply and no further service until reconnected
  // Faults of a head or line that put its replies out of step with the requests:
  kDuplicateReply,  // the reply is sent again after a delay (a head that repeats itself)
  kStrayBytes,      // a few bytes of line noise follow the reply after a delay
  kSplitReply,      // the reply's second half follows its first after a delay
};
inline constexpr int kFaultKindCount = 10;

// Pseudo command bytes for the two raw requests that have no command code of their own.
inline constexpr int kHandshakeCommand = 0x155;
inline constexpr int kMonitorCommand = 0x1C8;
inline constexpr int kAny = -1;

struct FaultRule {
  FaultKind kind = FaultKind::kNone;
  int command = kAny;  // byte 0 of the frame (head bits included) or a pseudo command
  int block = kAny;
  int skip = 0;                  // matching replies to let through before firing
  int times = 1;                 // how often to fire; negative: every time
  std::int64_t delay_ms = 1000;  // for late, repeated, noisy and split replies
};

struct FaultDecision {
  FaultKind kind = FaultKind::kNone;
  std::int64_t delay_ms = 0;
};

class FaultPlan {
 public:
  void Add(const FaultRule& rule) { rules_.push_back(rule); }
  void Clear();

  // From now on every reply fails with probability `per_mille` / 1000, the kind drawn
  // among `kinds`. The same seed gives the same sequence of faults.
  void SetRandom(std::uint32_t seed, int per_mille, const std::vector<FaultKind>& kinds,
                 std::int64_t late_delay_ms = 1000);

  // Called once per reply (or per acknowledge of a write) the head is about to send.
  FaultDecision Decide(int command, int block);

  // How many faults of each kind have fired so far.
  int Fired(FaultKind kind) const { return fired_[static_cast<int>(kind)]; }

 private:
  std::vector<FaultRule> rules_;
  std::array<int, kFaultKindCount> fired_{};
  bool random_ = false;
  int per_mille_ = 0;
  std::vector<FaultKind> random_kinds_;
  std::int64_t random_delay_ms_ = 1000;
  std::mt19937 generator_;
};

}  // namespace kyr::headsim
