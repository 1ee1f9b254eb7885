#include "headsim/usb_timing.h"

#include <algorithm>
#include <vector>

namespace kyr::headsim {

namespace {

constexpr long kBitsPerByte = 10;  // start bit, eight data bits, stop bit

// The start of the first frame after `now`.
std::int64_t NextFrame(std::int64_t now) {
  return (now / kUsbFrameMicros + 1) * kUsbFrameMicros;
}

}  // namespace

std::int64_t LineMicros(std::int64_t bytes, long baud) {
  if (baud <= 0) return 0;
  return (bytes * kBitsPerByte * 1000000 + baud - 1) / baud;
}

std::int64_t LineBytes(std::int64_t micros, long baud) {
  return micros * baud / (kBitsPerByte * 1000000);
}

LinePacer::LinePacer(long baud) : baud_(baud) {}

void LinePacer::Put(const std::uint8_t* data, std::size_t count, std::int64_t now) {
  if (now >= line_free_) {  // the line has been idle: a new run starts now
    run_start_ = now;
    run_bytes_ = 0;
  }
  for (std::size_t i = 0; i < count; ++i) {
    bytes_.push_back({data[i], run_start_ + LineMicros(++run_bytes_, baud_)});
  }
  if (count > 0) line_free_ = bytes_.back().arrives;
}

std::size_t LinePacer::Arrived(std::int64_t now) const {
  std::size_t n = 0;
  while (n < bytes_.size() && bytes_[n].arrives <= now) ++n;
  return n;
}

std::size_t LinePacer::Take(std::int64_t now, std::uint8_t* out, std::size_t max) {
  std::size_t n = 0;
  while (n < max && !bytes_.empty() && bytes_.front().arrives <= now) {
    out[n++] = bytes_.front().value;
    last_taken_ = bytes_.front().arrives;
    bytes_.pop_front();
  }
  return n;
}

std::optional<std::int64_t> LinePacer::NextArrival() const {
  return ArrivalOf(1);
}

std::optional<std::int64_t> LinePacer::ArrivalOf(std::size_t n) const {
  if (bytes_.empty()) return std::nullopt;
  return bytes_[std::min(std::max<std::size_t>(n, 1), bytes_.size()) - 1].arrives;
}

UsbTimingModel::UsbTimingModel(const UsbTiming& timing)
    : timing_(timing), to_head_(timing.baud), from_head_(timing.baud) {}

void UsbTimingModel::HostWrites(const std::uint8_t* data, std::size_t count, std::int64_t now) {
  // Whatever waits for a frame goes with the next one; a write joins it.
  if (to_chip_.empty()) to_chip_frame_ = NextFrame(now);
  to_chip_.insert(to_chip_.end(), data, data + count);
}

std::size_t UsbTimingModel::HeadReceives(std::int64_t now, std::uint8_t* out, std::size_t max) {
  if (!to_chip_.empty() && now >= to_chip_frame_) {
    std::vector<std::uint8_t> frame(to_chip_.begin(), to_chip_.end());
    to_head_.Put(frame.data(), frame.size(), to_chip_frame_);
    to_chip_.clear();
  }
  return to_head_.Take(now, out, max);
}

void UsbTimingModel::HeadSends(const std::uint8_t* data, std::size_t count, std::int64_t now) {
  RunFrames(now);
  from_head_.Put(data, count, now);
}

void UsbTimingModel::RunFrames(std::int64_t now) {
  const std::int64_t latency = static_cast<std::int64_t>(timing_.latency_ms) * 1000;
  const std::int64_t last_due = now / kUsbFrameMicros * kUsbFrameMicros;
  if (!started_) {
    started_ = true;
    last_frame_ = last_due;
    last_packet_ = last_due;
  }
  // Nothing on its way: the frames in between carry only status packets.
  if (from_head_.empty() && last_due > last_frame_) {
    const std::int64_t idle_frames = (last_due - last_frame_) / latency * latency;
    last_packet_ = std::max(last_packet_, last_frame_ + idle_frames);
    last_frame_ = last_due;
  }
  std::uint8_t packet[kUsbPacketData];
  for (std::int64_t frame = last_frame_ + kUsbFrameMicros; frame <= last_due;
       frame += kUsbFrameMicros) {
    for (int packets = 0; packets < kUsbPacketsPerFrame; ++packets) {
      const std::size_t ready = from_head_.Arrived(frame);
      const bool full = ready >= kUsbPacketData;
      if (!full && frame - last_packet_ < latency) break;
      const std::size_t n = from_head_.Take(frame, packet, kUsbPacketData);
      delivered_.insert(delivered_.end(), packet, packet + n);
      last_packet_ = frame;  // the timer restarts with every packet, status-only ones too
      if (!full) break;
    }
    last_frame_ = frame;
  }
}

std::size_t UsbTimingModel::HostReceives(std::int64_t now, std::uint8_t* out, std::size_t max) {
  RunFrames(now);
  const std::size_t n = std::min(max, delivered_.size());
  std::copy_n(delivered_.begin(), n, out);
  delivered_.erase(delivered_.begin(), delivered_.begin() + static_cast<std::ptrdiff_t>(n));
  return n;
}

std::optional<std::int64_t> UsbTimingModel::NextEventMicros() const {
  std::optional<std::int64_t> next;
  const auto earliest = [&next](std::int64_t t) { next = next ? std::min(*next, t) : t; };
  if (!to_chip_.empty()) earliest(to_chip_frame_);
  if (const auto at = to_head_.NextArrival()) earliest(*at);
  // Bytes towards the tool are checked at every frame until they are out.
  if (!from_head_.empty()) earliest(last_frame_ + kUsbFrameMicros);
  return next;
}

void UsbTimingModel::Reset() {
  to_chip_.clear();
  to_head_.Clear();
  from_head_.Clear();
  delivered_.clear();
}

}  // namespace kyr::headsim
