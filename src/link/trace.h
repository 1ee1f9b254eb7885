#pragma once
// The link trace: every frame between the tool and the head, one line each, for field support.
//
//     1204 ms  ->  10 00 0A 00 80 00 64                                   block 5
//     1211 ms  <-  06 80 34 12 ... 9C                                     block 5  128 words
//
// A line gives the time on the link's clock, the direction, the bytes in hex and, where they
// apply, the block the request is about and the result of the reply. Bytes read in pieces
// (a reply's header, then its body) are gathered into one line, closed by the reply's result.
// Monitor frames are cut after kTracedBytes bytes, with their length.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "link/byte_channel.h"

namespace kyr::link {

class TraceLog {
 public:
  static constexpr std::size_t kTracedBytes = 300;

  explicit TraceLog(std::ostream& out) : out_(out) {}
  // A log of one of several links writing into the same stream at once: each of its lines
  // starts with `name`, and is written whole while `lock` is held.
  TraceLog(std::ostream& out, std::mutex& lock, std::string name)
      : out_(out), lock_(&lock), name_(std::move(name)) {}
  ~TraceLog() { Flush(); }

  // Milliseconds on the link's clock; none: 0.
  void SetClock(std::function<std::uint32_t()> tick) { tick_ = std::move(tick); }
  // The block the following frames are about (-1: none).
  void SetBlock(int block) { block_ = block; }

  void Sent(const std::uint8_t* data, std::size_t count);
  void Received(const std::uint8_t* data, std::size_t count);
  // Closes the line of the bytes received so far with `result` (also when none came).
  void Result(std::string_view result);
  // A line of its own: opening, closing, a drain.
  void Note(std::string_view text);
  // Writes out the bytes received and not yet closed by a result.
  void Flush();
  // Called once, at the first line that cannot be written (a full disk); the link itself
  // goes on, and nothing more is tried.
  void OnWriteFailure(std::function<void()> report) { on_failure_ = std::move(report); }

 private:
  void Line(std::string_view direction, const std::vector<std::uint8_t>& bytes,
            std::string_view result);

  std::ostream& out_;
  std::mutex* lock_ = nullptr;
  std::string name_;
  std::function<std::uint32_t()> tick_;
  int block_ = -1;
  std::vector<std::uint8_t> incoming_;
  std::uint32_t incoming_since_ = 0;
  std::vector<std::uint8_t> scratch_;
  std::function<void()> on_failure_;
  bool failed_ = false;
};

// Passes everything on to the channel it wraps and writes it to the trace.
class TracingChannel final : public ByteChannel {
 public:
  TracingChannel(std::unique_ptr<ByteChannel> inner, TraceLog& log)
      : inner_(std::move(inner)), log_(log) {}

  bool Write(const std::uint8_t* data, std::size_t count, std::size_t& written) override;
  bool Read(std::uint8_t* data, std::size_t count, std::size_t& got) override;
  std::size_t Drain(std::uint32_t quiet_ms, std::uint32_t limit_ms) override;
  void Close() override;
  void SetWaitCheck(std::function<bool()> check) override {
    inner_->SetWaitCheck(std::move(check));
  }

 private:
  std::unique_ptr<ByteChannel> inner_;
  TraceLog& log_;
};

}  // namespace kyr::link
