#pragma once
// The simulated sensor head unit as a protocol engine: bytes from the tool go in through
// Feed, the head's answers come out through Take. No threads and no waiting inside; time
// comes from the clock it is given (steady for a real-time server, manual in tests).
//
// The unit serves up to three heads. It answers the handshake, the head query, settings
// reads and writes, the finish command, image block reads and writes, status polls, the
// NG table and the raw monitor requests; the closing frame ends a session silently.
// A command frame whose checksum is wrong is refused with a negative acknowledge
// (0x15 0x00 0xEA) and not carried out; so is an unknown command. Commands addressed to a
// head that is not connected get no answer at all. A partial frame left alone for longer
// than the frame gap is discarded, so a tool that gave up half-way does not desynchronise
// the next session.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "headsim/clock.h"
#include "headsim/faults.h"
#include "headsim/head_memory.h"
#include "headsim/screen.h"
#include "headsim/wire.h"

namespace kyr::headsim {

inline constexpr int kMaxHeads = 3;
inline constexpr std::int64_t kFrameGapMs = 100;

struct EngineOptions {
  int heads = 1;             // 1 to 3
  std::uint8_t model = 1;    // model code in the version word
  std::uint8_t version = 3;  // settings version in the version word
  // Settings for every head (a loaded file); when absent the heads start from initial values.
  std::optional<SettingsWords> settings;
  // When set, the version word of loaded settings is replaced by model and version.
  bool override_version = false;
  int ng_images = 3;  // NG pictures kept by the first head
  // Bank images 0.. and memory images 0.. every head holds from the start (their
  // generated pictures), so that a demo head has images to list, back up and compare.
  int registered_banks = 0;
  int registered_memory_images = 0;
};

// What the engine has seen, for tests and the server's log.
struct EngineStats {
  int handshakes = 0;
  int commands = 0;  // command frames carried out
  int naks = 0;      // negative acknowledges sent for bad frames
  int closes = 0;
  int finishes = 0;
  int monitor_requests = 0;
  int discarded_partials = 0;
  std::uint8_t last_frame = 0;  // first byte of the last whole frame received
};

class Engine {
 public:
  Engine(const EngineOptions& options, const Clock& clock);
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Bytes received from the tool, at the clock's current time.
  void Feed(const std::uint8_t* data, std::size_t count);

  // Copies up to `max` bytes that are due for sending now; returns how many.
  std::size_t Take(std::uint8_t* out, std::size_t max);
  // Bytes due now, and the time (clock micros) at which held-back bytes fall due, if any.
  std::size_t Ready() const;
  std::optional<std::int64_t> NextReleaseMicros() const;

  // Forgets partial input and unsent output, as when the line is closed and reopened.
  void ResetLine();

  // A dropped link stays down (no input read, no output) until reconnected.
  // Replies already sent before a drop still arrive; nothing after it does.
  bool IsLinkDropped() const { return dropped_; }
  void DropLink();  // unplugged now: unsent output is lost too
  void Reconnect();

  int head_count() const { return head_count_; }
  HeadMemory& Head(int h) { return *heads_[h]; }
  const HeadMemory& Head(int h) const { return *heads_[h]; }
  FaultPlan& Faults() { return faults_; }
  const EngineStats& Stats() const { return stats_; }
  const ScreenState& MonitorState() const { return screen_state_; }
  const Screen& MonitorScreen() const { return screen_; }

 private:
  std::size_t ExpectedLength() const;
  void HandleFrame();
  void HandleCommand(const std::uint8_t* frame, const std::uint8_t* data, std::size_t data_len);
  void HandleHandshake();
  void HandleMonitor(const std::uint8_t* request);

  void ReadMemory(HeadMemory& head, const std::uint8_t* frame);
  void WriteMemory(HeadMemory& head, const std::uint8_t* frame, const std::uint8_t* data);
  void ReadImage(HeadMemory& head, const std::uint8_t* frame);
  void WriteImage(HeadMemory& head, const std::uint8_t* frame, const std::uint8_t* data);
  void Status(HeadMemory& head, const std::uint8_t* frame);
  void QueryHeads(const std::uint8_t* frame);
  void ReadNgTable(const std::uint8_t* frame);
  void Finish(const std::uint8_t* frame);

  // Sends a reply of `count` words, unless the fault plan says otherwise. Returns false
  // when the exchange must stop here (negative acknowledge or dropped link).
  bool Reply(int command, int block, const std::uint16_t* words, int count);
  bool ReplyAs(const FaultDecision& decision, const std::uint16_t* words, int count);
  // Sends raw bytes bent by a fault decision; `check_at` is the byte a corruption hits.
  bool Deliver(const FaultDecision& decision, const std::uint8_t* bytes, std::size_t n,
               std::size_t check_at);
  // Consults the plan for a command that changes memory: false when it must not be done.
  bool MayCarryOut(const FaultDecision& decision);
  void Emit(const std::uint8_t* bytes, std::size_t n, std::int64_t delay_ms);
  void SendNak();
  std::int64_t NowMs() const { return clock_.NowMicros() / 1000; }

  const Clock& clock_;
  int head_count_;
  std::array<std::unique_ptr<HeadMemory>, kMaxHeads> heads_;
  FaultPlan faults_;
  EngineStats stats_;
  bool dropped_ = false;

  // Input: one frame at a time (a write command with its data frame is the longest).
  std::array<std::uint8_t, kCommandSize + 2 * 255 + 1> in_{};
  std::size_t in_len_ = 0;
  std::int64_t last_input_micros_ = 0;

  // Output: bytes in order; a held-back reply holds back everything after it.
  struct Hold {
    std::size_t begin;
    std::int64_t release_micros;
  };
  std::vector<std::uint8_t> out_;
  std::size_t out_pos_ = 0;
  std::vector<Hold> holds_;

  ScreenState screen_state_;
  Screen screen_;
  std::array<std::uint8_t, kMonitorReplySize> monitor_reply_{};
  std::array<std::uint16_t, 255> words_{};
  std::array<std::uint8_t, 2 * 255 + 3> reply_{};
};

}  // namespace kyr::headsim
