#pragma once
// A byte channel: one opened transport to a head (serial port, FTDI device, simulated head).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>

namespace kyr::link {

class ByteChannel {
 public:
  virtual ~ByteChannel() = default;

  // Writes `count` bytes, waiting at most as long as the transport allows. Returns false when
  // the transport reports a failure; otherwise true with the number really written in
  // `written` (smaller than `count` when the time-out struck first).
  virtual bool Write(const std::uint8_t* data, std::size_t count, std::size_t& written) = 0;

  // Reads up to `count` bytes, waiting at most the transport's time-out for that count.
  // Returns false when the transport reports a failure; a time-out is not a failure: the
  // result is true with fewer bytes in `got`.
  virtual bool Read(std::uint8_t* data, std::size_t count, std::size_t& got) = 0;

  // Throws away whatever is still arriving until the line has been quiet for `quiet_ms`,
  // but never waits longer than `limit_ms` in all (a babbling line must not hang the tool).
  // Returns the number of bytes discarded.
  virtual std::size_t Drain(std::uint32_t quiet_ms, std::uint32_t limit_ms) = 0;

  // Releases the transport. Further reads and writes fail. Closing twice is harmless.
  virtual void Close() = 0;

  // Asked while a read, write or drain waits on the line, at least every kWaitSliceMs and
  // after a signal: false ends the wait at once, as its time-out would. A channel that never
  // waits long may leave it unasked; one that wraps another passes it on.
  virtual void SetWaitCheck(std::function<bool()> check) { wait_check_ = std::move(check); }

 protected:
  static constexpr std::uint32_t kWaitSliceMs = 100;
  bool KeepWaiting() const { return !wait_check_ || wait_check_(); }

 private:
  std::function<bool()> wait_check_;
};

}  // namespace kyr::link
