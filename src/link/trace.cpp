#include "link/trace.h"

#include <cstdio>

#include "link/result_codes.h"

namespace kyr::link {

void TraceLog::Sent(const std::uint8_t* data, std::size_t count) {
  Flush();
  scratch_.assign(data, data + count);
  Line("->", scratch_, "");
}

void TraceLog::Received(const std::uint8_t* data, std::size_t count) {
  if (incoming_.empty()) incoming_since_ = tick_ ? tick_() : 0;
  incoming_.insert(incoming_.end(), data, data + count);
}

void TraceLog::Result(std::string_view result) {
  Line("<-", incoming_, result);
  incoming_.clear();
}

void TraceLog::Note(std::string_view text) {
  Flush();
  scratch_.clear();
  Line("--", scratch_, text);
}

void TraceLog::Flush() {
  if (incoming_.empty()) return;
  Line("<-", incoming_, "");
  incoming_.clear();
}

void TraceLog::Line(std::string_view direction, const std::vector<std::uint8_t>& bytes,
                    std::string_view result) {
  const bool incoming = direction == "<-" && !bytes.empty();
  const std::uint32_t ms = incoming ? incoming_since_ : (tick_ ? tick_() : 0);
  char head[32];
  std::snprintf(head, sizeof head, "%8u ms  ", static_cast<unsigned>(ms));
  std::string line = name_.empty() ? std::string() : name_ + "  ";
  line += head;
  line += direction;
  line += ' ';
  const std::size_t shown = std::min(bytes.size(), kTracedBytes);
  for (std::size_t i = 0; i < shown; ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02X", bytes[i]);
    line += hex;
  }
  if (shown < bytes.size()) line += " ... (" + std::to_string(bytes.size()) + " bytes)";
  if (direction == "<-" && bytes.empty()) line += " (nothing)";
  if (line.size() < 70 + name_.size()) line.resize(70 + name_.size(), ' ');
  if (block_ >= 0 && direction != "--") line += "  block " + std::to_string(block_);
  if (!result.empty()) {
    line += "  ";
    line += result;
  }
  if (failed_) return;
  std::unique_lock<std::mutex> hold;
  if (lock_ != nullptr) hold = std::unique_lock(*lock_);
  out_ << line << '\n';
  out_.flush();
  if (out_) return;
  failed_ = true;
  if (on_failure_) on_failure_();
}

bool TracingChannel::Write(const std::uint8_t* data, std::size_t count, std::size_t& written) {
  const bool ok = inner_->Write(data, count, written);
  log_.Sent(data, written);
  if (!ok) log_.Note("write failed");
  return ok;
}

bool TracingChannel::Read(std::uint8_t* data, std::size_t count, std::size_t& got) {
  const bool ok = inner_->Read(data, count, got);
  log_.Received(data, got);
  if (!ok) log_.Note("read failed");
  return ok;
}

std::size_t TracingChannel::Drain(std::uint32_t quiet_ms, std::uint32_t limit_ms) {
  log_.Flush();
  const std::size_t dropped = inner_->Drain(quiet_ms, limit_ms);
  if (dropped > 0) log_.Note("discarded " + std::to_string(dropped) + " late bytes");
  return dropped;
}

void TracingChannel::Close() {
  log_.Flush();
  inner_->Close();
}

}  // namespace kyr::link
