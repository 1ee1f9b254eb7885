#include "link/link.h"

#include <algorithm>
#include <cerrno>
#include <string>
#include <utility>
#include <vector>

#include "link/discovery.h"
#include "link/protocol.h"
#include "link/trace.h"

namespace kyr::link {

Link::Link(LinkEnvironment environment) : environment_(std::move(environment)) {
  if (environment_.trace != nullptr) environment_.trace->SetClock([this] { return TickCount(); });
}

Link::~Link() {
  if (channel_) channel_->Close();
  if (environment_.trace != nullptr) {
    environment_.trace->Flush();
    environment_.trace->SetClock(nullptr);
  }
}

void Link::Trace(std::string_view note) {
  if (environment_.trace != nullptr) environment_.trace->Note(note);
  if (environment_.notes) environment_.notes(note);
}

void Link::NoteBlock(int block) {
  block_ = block;
  if (environment_.trace != nullptr) environment_.trace->SetBlock(block);
}

LinkResult Link::OpenLink(std::string_view port_name, bool handshake) {
  // A link left open by an earlier command would leak its port and keep it locked.
  if (channel_ || mode_ != LinkMode::None) CloseLink(false);
  failure_.Clear();
  NoteBlock(-1);
  const bool usb = TransportForPort(port_name) == LinkMode::Usb;
  const LinkResult result = usb ? OpenUsb(handshake) : OpenSerial(port_name);
  Trace(std::string(usb ? "open USB" : "open serial ") + std::string(usb ? "" : port_name) +
        (handshake && usb ? " with handshake: " : ": ") + LinkResultName(result));
  return result;
}

LinkResult Link::OpenUsb(bool handshake) {
  std::unique_ptr<ByteChannel> channel;
  place_ = "USB";
  int index = -1;
  const LinkResult found =
      OpenUsbDevice(environment_, device_serial_, channel, index, &failure_detail_);
  if (found != LinkResult::kOk) {
    if (!failure_detail_.empty()) {
      failure_.Record({}, failure_detail_);  // discovery knows best why
    } else if (found == LinkResult::kOpenFailed) {
      failure_.Record(place_ + (device_serial_.empty() ? "" : " " + device_serial_),
                      "the head unit is listed but cannot be opened");
    } else {
      NoteNoUsbHead();
    }
    return found;
  }
  place_ = device_serial_.empty() ? "USB" : "USB " + device_serial_;
  Attach(std::move(channel), LinkMode::Usb);
  device_index_ = index;
  return handshake ? Handshake() : LinkResult::kOk;
}

LinkResult Link::OpenSerial(std::string_view port_name) {
  // The mode is serial even when the open fails; the caller's CloseLink resets it.
  mode_ = LinkMode::Serial;
  place_ = SerialDevicePath(port_name);
  if (environment_.serial_ports == nullptr) return LinkResult::kOpenFailed;
  errno = 0;
  auto channel = environment_.serial_ports->Open(place_);
  if (!channel) {
    NoteSystemFailure(errno);
    return LinkResult::kOpenFailed;
  }
  Attach(std::move(channel), LinkMode::Serial);
  return LinkResult::kOk;
}

void Link::Attach(std::unique_ptr<ByteChannel> channel, LinkMode mode) {
  if (channel_) channel_->Close();
  if (environment_.trace != nullptr && channel) {
    channel = std::make_unique<TracingChannel>(std::move(channel), *environment_.trace);
  }
  channel_ = std::move(channel);
  if (channel_) channel_->SetWaitCheck([this] { return KeepWaiting(); });
  mode_ = mode;
  device_index_ = -1;
  line_dirty_ = false;
  replies_ = quiet_mark_ = 0;
  out_of_step_since_.reset();
  awaiting_since_.reset();
}

bool Link::KeepWaiting() {
  // The longest request and reply have been on the wire for this long when a reply is due.
  constexpr std::uint32_t kDueMs = WireMs(kMaxFrameBody + 1) + WireMs(ReplySize(kMaxReplyWords));
  if (stall_notice_ && awaiting_since_ && !stall_shown_ &&
      TickCount() - *awaiting_since_ > kDueMs + kStallNoticeMs) {
    stall_shown_ = true;
    stall_notice_(block_);
  }
  return !StopRequested();
}

LinkResult Link::CloseLink(bool closing) {
  LinkResult result = LinkResult::kOk;
  NoteBlock(-1);
  const bool with_frame = mode_ == LinkMode::Usb && channel_ && closing;
  if (with_frame) result = SendClosingFrame();
  if (channel_)
    Trace(std::string("close") + (with_frame ? " with the closing frame: " : ": ") +
          LinkResultName(result));
  if (channel_) {
    channel_->Close();
    channel_.reset();
  }
  device_serial_.clear();
  device_index_ = -1;
  mode_ = LinkMode::None;
  line_dirty_ = false;
  return result;
}

std::uint32_t Link::TickCount() {
  if (environment_.clock != nullptr) return environment_.clock->TickCount();
  SystemClock system_clock;
  return system_clock.TickCount();
}

void Link::NoteStrayBytes() {
  // Nothing read since the line was last quiet: no answer can have been taken wrongly.
  if (quiet_mark_ < replies_ && !out_of_step_since_) out_of_step_since_ = quiet_mark_;
  if (out_of_step_since_) Trace("out of step since reply " + std::to_string(*out_of_step_since_));
}

std::size_t Link::Drain(std::uint32_t quiet_ms, std::uint32_t limit_ms) {
  line_dirty_ = false;
  // After a stop nothing more is read from the line, so there is nothing to keep it clean for.
  if (StopRequested()) return 0;
  return channel_ ? channel_->Drain(quiet_ms, limit_ms) : 0;
}

void Link::DiscardPending(std::uint32_t quiet_ms) {
  Drain(quiet_ms, std::max(quiet_ms, kDrainLimitMs));
}

std::uint32_t Link::ReplyTimeoutMs() const {
  return mode_ == LinkMode::Serial ? kSerialReplyTimeoutMs : kUsbReplyTimeoutMs;
}

void Link::DiscardAfterFailedReply(int reply_words, bool whole_wrong_reply) {
  const std::uint32_t quiet =
      ReplyTimeoutMs() + WireMs(ReplySize(static_cast<std::size_t>(std::max(reply_words, 0))));
  // A babbling line must not hang the tool: it gives up after twice the quiet time.
  if (Drain(quiet, 2 * quiet) > 0 && whole_wrong_reply) NoteStrayBytes();
  // Whatever was on its way has arrived by now: the line holds nothing of the past.
  quiet_mark_ = replies_;
}

void Link::DiscardAfterRetriedSuccess(std::uint32_t quiet_ms) {
  if (Drain(quiet_ms, std::max(quiet_ms, kDrainLimitMs)) > 0) NoteStrayBytes();
}

bool Link::EndsInStep(int reply_words) {
  // A reply taken for another's leaves the last answer still to come, right behind the last
  // reply: its first bytes show within the head's turn-around (and on USB the chip's latency
  // timer), so only that is waited for, and a transfer in step is held up as little as can
  // be. Once bytes came the line is out of step; a babbling one is drained no longer than
  // two of the transfer's replies take.
  constexpr std::uint32_t kQuiet = kEndQuietMarginMs + WireMs(2);
  const std::uint32_t limit =
      2 * (kQuiet + WireMs(ReplySize(static_cast<std::size_t>(std::max(reply_words, 0)))));
  if (Drain(kQuiet, limit) > 0) NoteStrayBytes();
  return !out_of_step_since_;
}

void Link::DrainBeforeWrite() {
  if (line_dirty_) DiscardAfterFailedReply(kMaxReplyWords);
}

void Link::DiscardStrayBeforeRequest() {
  if (line_dirty_) {
    DiscardAfterFailedReply(kMaxReplyWords);
    return;
  }
  // Bytes already waiting before a request answer nothing asked yet: some reply came twice,
  // late or from noise. What is there is taken off the line at once, with the rest of it.
  if (channel_ && channel_->Drain(0, 0) > 0) {
    NoteStrayBytes();
    DiscardPending();
  }
}

bool Link::WriteRaw(const std::uint8_t* data, std::size_t count, std::size_t& written) {
  written = 0;
  if (!channel_) return false;
  // Bytes of an answer that came late must not be read as the answer to what we send now.
  DrainBeforeWrite();
  errno = 0;
  const bool ok = channel_->Write(data, count, written);
  if (!ok) NoteSystemFailure(errno);
  return ok;
}

bool Link::ReadRaw(std::uint8_t* data, std::size_t count, std::size_t& got) {
  got = 0;
  if (!channel_) return false;
  errno = 0;
  const bool ok = channel_->Read(data, count, got);
  if (!ok || got < count) {
    line_dirty_ = true;
    NoteSystemFailure(ok ? 0 : errno);  // 0: nothing more came in time
  }
  return ok;
}

void Link::NoteSystemFailure(int error_number) {
  failure_.Record(place_, SystemReason(error_number));
}

// No head unit could be opened: say what the USB device list holds instead.
void Link::NoteNoUsbHead() {
  // The system's list first: the FTDI list is not touched when no head unit is present.
  std::string found;
  const auto add = [&found](const std::string& text) {
    found += (found.empty() ? "" : ", ") + text;
  };
  std::vector<std::string> present;
  std::vector<UsbDeviceInfo> devices;
  if (environment_.devices != nullptr && environment_.devices->ListPresent(present)) {
    for (const std::string& id : present) add(id);
  } else if (environment_.usb_bus != nullptr && environment_.usb_bus->ListDevices(devices)) {
    for (const UsbDeviceInfo& device : devices)
      add(device.serial + " \"" + device.description + "\"");
  }
  if (found.empty()) found = "nothing";
  failure_.RecordNoHeadFound("no head unit found on USB (found: " + found + ")");
}

FrameResult Link::SendFrame(const std::uint8_t* bytes, std::size_t count) {
  if (count > kMaxFrameBody) return FrameResult::kFailed;
  std::copy_n(bytes, count, send_buffer_.begin());
  send_buffer_[count] = Checksum(bytes, count);
  std::size_t written = 0;
  if (!awaiting_since_) awaiting_since_ = TickCount();
  if (!WriteRaw(send_buffer_.data(), count + 1, written)) return FrameResult::kFailed;
  return written == count + 1 ? FrameResult::kSent : FrameResult::kPartial;
}

ReplyResult Link::ReceiveReply(ReplyWords& words) {
  ++replies_;
  // The later replies of a request answered by several are waited for from now on.
  if (!awaiting_since_) awaiting_since_ = TickCount();
  const ReplyResult result = ReceiveReplyUntraced(words);
  if (result.Good()) {
    awaiting_since_.reset();
    stall_shown_ = false;
  }
  if (environment_.trace != nullptr) environment_.trace->Result(ReplyResultName(result));
  return result;
}

ReplyResult Link::ReceiveReplyUntraced(ReplyWords& words) {
  std::uint8_t* const reply = reply_buffer_.data();
  std::size_t got = 0;
  if (!ReadRaw(reply, 2, got)) return {ReplyFault::kReadFailed};
  if (got < 2) return {ReplyFault::kShortHeader};
  if (reply[0] != kAck) {
    line_dirty_ = true;  // the rest of a refusal may still be on its way
    return {ReplyFault::kNotAck};
  }
  const std::size_t n = reply[1];
  const std::size_t body = 2 * n + 1;
  if (!ReadRaw(reply + 2, body, got)) return {ReplyFault::kReadFailed};
  if (got < body) return {ReplyFault::kShortBody};
  for (std::size_t i = 0; i < n; ++i) {
    words[i] = static_cast<std::uint16_t>(reply[2 + 2 * i] | (reply[3 + 2 * i] << 8));
  }
  if (!SumIsValid(reply, 2 + body)) {
    line_dirty_ = true;  // a garbled reply may have lost or gained bytes
    return {ReplyFault::kBadChecksum, static_cast<int>(n)};
  }
  return {ReplyFault::kNone, static_cast<int>(n)};
}

LinkResult Link::Handshake() {
  std::size_t count = 0;
  if (!WriteRaw(kHandshakeRequest.data(), kHandshakeRequest.size(), count)) {
    return LinkResult::kWriteFailed;
  }
  if (count < kHandshakeRequest.size()) return LinkResult::kWritePartial;
  std::array<std::uint8_t, 2> answer{};
  if (!ReadRaw(answer.data(), answer.size(), count)) return LinkResult::kHandshakeReadFailed;
  if (count < answer.size()) return LinkResult::kHandshakeShort;
  if (answer != kHandshakeReply) {
    line_dirty_ = true;
    return LinkResult::kHandshakeBadReply;
  }
  return LinkResult::kOk;
}

LinkResult Link::SendClosingFrame() {
  std::size_t written = 0;
  if (!WriteRaw(kClosingFrame.data(), kClosingFrame.size(), written)) {
    return LinkResult::kWriteFailed;
  }
  return written < kClosingFrame.size() ? LinkResult::kWritePartial : LinkResult::kOk;
}

int Link::QueryHead(int h) {
  constexpr int kPresenceOffset = 6;  // data byte 6 + h: words 3 and 4, low byte first
  if (h < 0 || kPresenceOffset + h >= 2 * kQueryHeadsWords) return -1;
  const Command query = QueryHeadsCommand();
  if (SendFrame(query.data(), query.size()) != FrameResult::kSent) return -1;
  ReplyWords words{};
  if (!ReceiveReply(words).HasWords(kQueryHeadsWords)) return -1;
  const int byte_index = kPresenceOffset + h;
  const std::uint16_t word = words[static_cast<std::size_t>(byte_index / 2)];
  return byte_index % 2 == 0 ? (word & 0xFF) : (word >> 8);
}

}  // namespace kyr::link
