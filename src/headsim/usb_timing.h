#pragma once
// How long bytes take between the tool and a head behind an FTDI chip: the head's serial line
// on one side, full-speed USB on the other.
//
// Towards the head, a write reaches the chip at the next 1 ms USB frame and leaves it one byte
// time after another. Towards the tool, the head's bytes reach the chip one byte time after
// another; the chip sends them in 64-byte packets of two status bytes and 62 data bytes, a
// full packet at the next frame, a partial one only when its latency timer (2 ms as the tool
// sets it, 16 ms by default) has run out since the last packet.
//
// All times are microseconds on the caller's clock; nothing here waits.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

namespace kyr::headsim {

inline constexpr std::int64_t kUsbFrameMicros = 1000;
inline constexpr std::size_t kUsbPacketData = 62;
// Packets a full-speed bulk pipe carries in one frame at most.
inline constexpr int kUsbPacketsPerFrame = 19;

// Micros until the last bit of the `bytes`-th byte of a run sent without a pause is through,
// rounded up: 10 bits a byte at `baud` bits per second (0: no time at all).
std::int64_t LineMicros(std::int64_t bytes, long baud);
// The whole bytes such a run has carried after `micros` (its inverse, rounded down).
std::int64_t LineBytes(std::int64_t micros, long baud);

// One direction of a serial line: when each byte has been carried. Arrival times count
// from the start of a run of bytes without a pause, so that the rounding of a byte time to
// whole micros never adds up over a long run.
class LinePacer {
 public:
  // `baud` bits per second, 10 bits a byte; 0: bytes take no time.
  explicit LinePacer(long baud);

  // Bytes handed to the line at `now`.
  void Put(const std::uint8_t* data, std::size_t count, std::int64_t now);
  // Copies up to `max` bytes whose last bit has arrived by `now`; how many.
  std::size_t Take(std::int64_t now, std::uint8_t* out, std::size_t max);
  std::size_t Arrived(std::int64_t now) const;
  // When the next byte still on the line arrives.
  std::optional<std::int64_t> NextArrival() const;
  // When the `n`-th byte still on the line arrives (n >= 1), or the last one when fewer
  // are on their way.
  std::optional<std::int64_t> ArrivalOf(std::size_t n) const;
  // When the last byte taken arrived.
  std::int64_t LastTakenArrival() const { return last_taken_; }
  bool empty() const { return bytes_.empty(); }
  void Clear() { bytes_.clear(); }

 private:
  struct Byte {
    std::uint8_t value;
    std::int64_t arrives;
  };
  long baud_;
  std::int64_t run_start_ = 0;  // when the line last started carrying after a pause
  std::int64_t run_bytes_ = 0;  // bytes put on the line since then
  std::int64_t line_free_ = 0;  // when the last byte put on the line is through
  std::int64_t last_taken_ = 0;
  std::deque<Byte> bytes_;
};

struct UsbTiming {
  int latency_ms = 2;  // the chip's latency timer
  long baud = 0;       // the head's serial line; 0: not the bottleneck
};

class UsbTimingModel {
 public:
  explicit UsbTimingModel(const UsbTiming& timing);

  // Tool to head: bytes written by the tool at `now`; those that reached the head by `now`.
  void HostWrites(const std::uint8_t* data, std::size_t count, std::int64_t now);
  std::size_t HeadReceives(std::int64_t now, std::uint8_t* out, std::size_t max);

  // Head to tool: bytes the head sends at `now`; those delivered to the tool by `now`.
  void HeadSends(const std::uint8_t* data, std::size_t count, std::int64_t now);
  std::size_t HostReceives(std::int64_t now, std::uint8_t* out, std::size_t max);

  // When something more falls due in either direction, if anything is in transit.
  std::optional<std::int64_t> NextEventMicros() const;
  // Forgets everything in transit (the device was closed or lost).
  void Reset();

 private:
  void RunFrames(std::int64_t now);

  UsbTiming timing_;
  std::deque<std::uint8_t> to_chip_;  // written by the tool, waiting for the next frame
  std::int64_t to_chip_frame_ = 0;    // the frame that carries them
  LinePacer to_head_;
  LinePacer from_head_;
  std::deque<std::uint8_t> delivered_;
  bool started_ = false;
  std::int64_t last_frame_ = 0;   // the last frame whose packets have been worked out
  std::int64_t last_packet_ = 0;  // when the chip last sent a packet (its latency timer)
};

}  // namespace kyr::headsim
