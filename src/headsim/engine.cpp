#include "headsim/engine.h"

#include <algorithm>
#include <cstring>

#include "headsim/initial_settings.h"

namespace kyr::headsim {
namespace {

constexpr std::size_t kOutputReserve = 256 * 1024;
constexpr std::size_t kCompactAfter = 1024 * 1024;
constexpr std::uint8_t kNakFrame[3] = {kNak, 0x00, 0xEA};

std::uint32_t AddressOf(const std::uint8_t* frame) {
  return static_cast<std::uint32_t>(frame[1] | (frame[2] << 8) | (frame[3] << 16));
}

bool IsWriteCode(std::uint8_t code) {
  const std::uint8_t family = code & 0xFC;
  return (family == kWriteMemory || family == kWriteImage) && (code & 3) != 3;
}

// Which picture word an address of an image command reaches. Bank, memory and NG
// pictures are addressed in bytes, two units per picture; taken pictures in words, one
// unit per picture (at even units).
ImageWordRef ImageRefAt(std::uint8_t family, const HeadMemory& head, std::uint32_t address) {
  ImageWordRef ref;
  const int unit = static_cast<int>((address >> 16) & 0xFF);
  const int offset = static_cast<int>(address & 0xFFFF);
  auto in_pair = [&](ImageKind kind, int first_unit, int count) {
    const int index = (unit - first_unit) / 2;
    if (unit < first_unit || index >= count) return false;
    ref.kind = kind;
    ref.number = index;
    ref.word = ((unit - first_unit) & 1) * 32768 + offset / 2;
    return true;
  };
  if (family == kReadImage || family == kWriteImage) {
    if (!in_pair(ImageKind::kBank, 16, kBankImages)) in_pair(ImageKind::kMemory, 80, kMemoryImages);
  } else if (family == kReadShoot) {
    if (unit % 2 == 0 && unit / 2 < kShootImages) {
      ref = {ImageKind::kShoot, unit / 2, offset};
    }
  } else if (family == kReadNgImage) {
    if (in_pair(ImageKind::kNg, 2, kNgRecords)) ref.number = head.NgRecordOfNumber(ref.number);
  }
  return ref;
}

}  // namespace

Engine::Engine(const EngineOptions& options, const Clock& clock)
    : clock_(clock), head_count_(std::clamp(options.heads, 1, kMaxHeads)) {
  for (int h = 0; h < kMaxHeads; ++h) {
    heads_[h] = std::make_unique<HeadMemory>(h);
    SettingsWords& words = heads_[h]->settings;
    if (options.settings) {
      words = *options.settings;
      if (options.override_version) {
        words[kVersionWord] = static_cast<std::uint16_t>((options.version << 8) | options.model);
      }
    } else {
      InitialSettings(options.model, options.version, words);
    }
    for (int bank = 0; bank < std::clamp(options.registered_banks, 0, kBankImages); ++bank)
      heads_[h]->RegisterImage(ImageKind::kBank, bank);
    for (int m = 0; m < std::clamp(options.registered_memory_images, 0, kMemoryImages); ++m)
      heads_[h]->RegisterImage(ImageKind::kMemory, m);
  }
  heads_[0]->SetNgImages(options.ng_images, options.ng_images);
  screen_state_.head_count = head_count_;
  out_.reserve(kOutputReserve);
  holds_.reserve(64);
}

Engine::~Engine() = default;

void Engine::Feed(const std::uint8_t* data, std::size_t count) {
  if (dropped_ || count == 0) return;
  const std::int64_t now = clock_.NowMicros();
  if (in_len_ > 0 && now - last_input_micros_ > kFrameGapMs * 1000) {
    in_len_ = 0;  // the rest of that frame is never coming
    ++stats_.discarded_partials;
  }
  last_input_micros_ = now;
  for (std::size_t i = 0; i < count; ++i) {
    in_[in_len_++] = data[i];
    if (in_len_ < ExpectedLength()) continue;
    HandleFrame();
    in_len_ = 0;
    if (dropped_) return;
  }
}

std::size_t Engine::ExpectedLength() const {
  if (in_len_ < 2) return 2;
  if (in_[0] == kRawPrefix && in_[1] == kHandshakeByte) return 2;
  if (in_[0] == kRawPrefix && in_[1] == kMonitorByte) return kMonitorRequestSize;
  if (in_len_ < kCommandSize || !IsWriteCode(in_[0])) return kCommandSize;
  return kCommandSize + 2u * in_[4] + 1;  // the data frame follows at once
}

void Engine::HandleFrame() {
  stats_.last_frame = in_[0];
  if (in_len_ == 2) {
    HandleHandshake();
  } else if (in_len_ == kMonitorRequestSize) {
    HandleMonitor(in_.data());
  } else if (!FrameSumIsValid(in_.data(), kCommandSize)) {
    SendNak();
  } else {
    HandleCommand(in_.data(), in_.data() + kCommandSize, in_len_ - kCommandSize);
  }
}

void Engine::HandleCommand(const std::uint8_t* frame, const std::uint8_t* data,
                           std::size_t data_len) {
  const std::uint8_t code = frame[0];
  switch (code) {
    case kQueryHeads:
      return QueryHeads(frame);
    case kReadNgTable:
      return ReadNgTable(frame);
    case kReadNgImage:
      return ReadImage(*heads_[0], frame);
    case kClose:
      if (frame[1] != 0x8C || frame[2] != 0x73) return SendNak();
      ++stats_.closes;
      return;
    default:
      break;
  }
  const std::uint8_t family = code & 0xFC;
  const int h = code & 3;
  if (family < kReadMemory || family > kStatus) return SendNak();
  if (h >= head_count_) return;  // nobody there to answer
  if (data_len > 0 && !FrameSumIsValid(data, data_len)) return SendNak();
  HeadMemory& head = *heads_[h];
  switch (family) {
    case kReadMemory:
      return ReadMemory(head, frame);
    case kWriteMemory:
      return WriteMemory(head, frame, data);
    case kReadImage:
    case kReadShoot:
      return ReadImage(head, frame);
    case kWriteImage:
      return WriteImage(head, frame, data);
    case kFinishWrite:
      return Finish(frame);
    case kStatus:
      return Status(head, frame);
    default:
      return SendNak();
  }
}

void Engine::HandleHandshake() {
  if (in_[0] != kRawPrefix || in_[1] != kHandshakeByte) {
    // Two bytes that start no known frame: a stray pair, refused like a bad frame.
    return SendNak();
  }
  ++stats_.handshakes;
  Deliver(faults_.Decide(kHandshakeCommand, 0), kHandshakeReply, 2, 1);
}

void Engine::HandleMonitor(const std::uint8_t* request) {
  const int key = request[2], pointer_x = request[3], pointer_y = request[4], part = request[5];
  ++stats_.monitor_requests;
  if (key != 0) {
    screen_state_.last_key = key;
    if (key == 13) screen_state_.bank = (screen_state_.bank + 1) % 32;  // up
    if (key == 7) screen_state_.bank = (screen_state_.bank + 31) % 32;  // down
  }
  if (pointer_x != 0 || pointer_y != 0) {
    screen_state_.click_x = Screen::PointerToScreenX(pointer_x);
    screen_state_.click_y = Screen::PointerToScreenY(pointer_y);
  }
  if (part >= kMonitorParts) return;  // no such part: nothing to send
  if (part == 0 || screen_state_.frames == 0) {
    ++screen_state_.frames;
    screen_.Render(screen_state_, NowMs());
  }
  monitor_reply_[0] = kRawPrefix;
  monitor_reply_[1] = static_cast<std::uint8_t>(part);
  screen_.PackPart(part, monitor_reply_.data() + 2);
  Deliver(faults_.Decide(kMonitorCommand, part), monitor_reply_.data(), monitor_reply_.size(), 1);
}

void Engine::ReadMemory(HeadMemory& head, const std::uint8_t* frame) {
  ++stats_.commands;
  const std::uint32_t address = AddressOf(frame);
  const int words = frame[4];
  for (int r = 0; r <= frame[5]; ++r) {
    const std::uint32_t base = address + static_cast<std::uint32_t>(r * 2 * words);
    for (int i = 0; i < words; ++i) words_[i] = head.SettingsWord(base + 2u * i);
    const int block = words > 0 ? static_cast<int>(base / (2u * words)) : 0;
    if (!Reply(frame[0], block, words_.data(), words)) return;
  }
}

void Engine::WriteMemory(HeadMemory& head, const std::uint8_t* frame, const std::uint8_t* data) {
  const std::uint32_t address = AddressOf(frame);
  const int words = frame[4];
  const int block = words > 0 ? static_cast<int>(address / (2u * words)) : 0;
  const FaultDecision decision = faults_.Decide(frame[0], block);
  if (!MayCarryOut(decision)) return;
  ++stats_.commands;
  for (int i = 0; i < words; ++i) {
    head.SetSettingsWord(address + 2u * i,
                         static_cast<std::uint16_t>(data[2 * i] | (data[2 * i + 1] << 8)));
  }
  ReplyAs(decision, nullptr, 0);
}

void Engine::ReadImage(HeadMemory& head, const std::uint8_t* frame) {
  ++stats_.commands;
  const std::uint8_t family = frame[0] == kReadNgImage ? kReadNgImage : frame[0] & 0xFC;
  const bool word_addressed = family == kReadShoot;
  const std::uint32_t address = AddressOf(frame);
  const int words = frame[4];
  for (int r = 0; r <= frame[5]; ++r) {
    const std::uint32_t step = word_addressed ? 1u : 2u;
    const std::uint32_t base = (address + static_cast<std::uint32_t>(r * words) * step) & 0xFFFFFF;
    for (int i = 0; i < words; ++i) {
      words_[i] = head.ImageWord(ImageRefAt(family, head, base + step * i));
    }
    const int block = static_cast<int>((base >> (word_addressed ? 7 : 8)) & 0x1FF);
    if (!Reply(frame[0], block, words_.data(), words)) return;
  }
}

void Engine::WriteImage(HeadMemory& head, const std::uint8_t* frame, const std::uint8_t* data) {
  const std::uint32_t address = AddressOf(frame);
  const FaultDecision decision = faults_.Decide(frame[0], static_cast<int>((address >> 8) & 0x1FF));
  if (!MayCarryOut(decision)) return;
  ++stats_.commands;
  for (int i = 0; i < frame[4]; ++i) {
    const ImageWordRef ref = ImageRefAt(kWriteImage, head, (address + 2u * i) & 0xFFFFFF);
    head.WriteImageWord(ref, static_cast<std::uint16_t>(data[2 * i] | (data[2 * i + 1] << 8)));
  }
  head.NoteImageWrite();
  ReplyAs(decision, nullptr, 0);
}

void Engine::Status(HeadMemory& head, const std::uint8_t* frame) {
  ++stats_.commands;
  const int selector = frame[1];
  const int words = frame[4];
  std::fill(words_.begin(), words_.end(), 0);
  if (selector == 0x12) {
    const auto answer = head.NextPollAnswer();
    std::copy(answer.begin(), answer.end(), words_.begin());
  } else if (selector == 0) {
    std::copy(head.shoot_status.begin(), head.shoot_status.end(), words_.begin());
  }
  Reply(frame[0], selector, words_.data(), words);
}

void Engine::QueryHeads(const std::uint8_t* frame) {
  ++stats_.commands;
  std::fill(words_.begin(), words_.begin() + 5, 0);
  // Bytes 6, 7 and 8 of the reply data (words 3 and 4, low byte first) flag heads 1 to 3.
  words_[3] = static_cast<std::uint16_t>((head_count_ > 0 ? 1 : 0) | (head_count_ > 1 ? 0x100 : 0));
  words_[4] = static_cast<std::uint16_t>(head_count_ > 2 ? 1 : 0);
  Reply(frame[0], 0, words_.data(), 5);
}

void Engine::ReadNgTable(const std::uint8_t* frame) {
  ++stats_.commands;
  const int offset = frame[1] | (frame[2] << 8);
  const int words = frame[4];
  for (int i = 0; i < words; ++i) words_[i] = heads_[0]->NgTableWord(offset + i);
  Reply(frame[0], words > 0 ? offset / words : 0, words_.data(), words);
}

void Engine::Finish(const std::uint8_t* frame) {
  if (frame[1] != 0xFF || frame[2] != 0x6A) return SendNak();
  const FaultDecision decision = faults_.Decide(frame[0], 0);
  if (!MayCarryOut(decision)) return;
  ++stats_.commands;
  ++stats_.finishes;
  ReplyAs(decision, nullptr, 0);
}

bool Engine::Reply(int command, int block, const std::uint16_t* words, int count) {
  return ReplyAs(faults_.Decide(command, block), words, count);
}

bool Engine::ReplyAs(const FaultDecision& decision, const std::uint16_t* words, int count) {
  std::size_t n = 0;
  reply_[n++] = kAck;
  reply_[n++] = static_cast<std::uint8_t>(count);
  for (int i = 0; i < count; ++i) {
    reply_[n++] = static_cast<std::uint8_t>(words[i] & 0xFF);
    reply_[n++] = static_cast<std::uint8_t>(words[i] >> 8);
  }
  reply_[n] = ChecksumOf(reply_.data(), n);
  ++n;
  return Deliver(decision, reply_.data(), n, n - 1);
}

bool Engine::MayCarryOut(const FaultDecision& decision) {
  if (decision.kind == FaultKind::kNak) {
    Emit(kNakFrame, sizeof kNakFrame, 0);
    return false;
  }
  if (decision.kind == FaultKind::kDroppedLink) {
    dropped_ = true;
    in_len_ = 0;
    return false;
  }
  return true;
}

bool Engine::Deliver(const FaultDecision& decision, const std::uint8_t* bytes, std::size_t n,
                     std::size_t check_at) {
  switch (decision.kind) {
    case FaultKind::kNone:
      Emit(bytes, n, 0);
      return true;
    case FaultKind::kBadChecksum: {
      const std::size_t before = out_.size();
      Emit(bytes, n, 0);
      ++out_[before + check_at];
      return true;
    }
    case FaultKind::kShortReply:
      Emit(bytes, (n + 1) / 2, 0);
      return true;
    case FaultKind::kMissingReply:
      return true;
    case FaultKind::kLateReply:
      Emit(bytes, n, decision.delay_ms);
      return true;
    case FaultKind::kDuplicateReply:
      Emit(bytes, n, 0);
      Emit(bytes, n, decision.delay_ms);
      return true;
    case FaultKind::kStrayBytes: {
      // What a disturbed line delivers: bits of the acknowledge and framing bytes.
      static constexpr std::uint8_t kNoise[] = {kAck, 0x00, 0xFF, kAck, 0x01};
      Emit(bytes, n, 0);
      Emit(kNoise, sizeof kNoise, decision.delay_ms);
      return true;
    }
    case FaultKind::kSplitReply:
      Emit(bytes, n / 2, 0);
      Emit(bytes + n / 2, n - n / 2, decision.delay_ms);
      return true;
    case FaultKind::kNak:
    case FaultKind::kDroppedLink:
      return MayCarryOut(decision);
  }
  return true;
}

void Engine::SendNak() {
  ++stats_.naks;
  Emit(kNakFrame, sizeof kNakFrame, 0);
}

void Engine::Emit(const std::uint8_t* bytes, std::size_t n, std::int64_t delay_ms) {
  if (n == 0) return;
  if (delay_ms > 0) holds_.push_back({out_.size(), clock_.NowMicros() + delay_ms * 1000});
  out_.insert(out_.end(), bytes, bytes + n);
}

std::size_t Engine::Ready() const {
  const std::int64_t now = clock_.NowMicros();
  std::size_t limit = out_.size();
  for (const Hold& hold : holds_) {
    if (hold.release_micros > now) {
      limit = hold.begin;
      break;
    }
  }
  return limit > out_pos_ ? limit - out_pos_ : 0;
}

std::optional<std::int64_t> Engine::NextReleaseMicros() const {
  const std::int64_t now = clock_.NowMicros();
  for (const Hold& hold : holds_) {
    if (hold.release_micros > now) return hold.release_micros;
  }
  return std::nullopt;
}

std::size_t Engine::Take(std::uint8_t* out, std::size_t max) {
  const std::size_t n = std::min(max, Ready());
  if (n > 0) std::memcpy(out, out_.data() + out_pos_, n);
  out_pos_ += n;
  const std::int64_t now = clock_.NowMicros();
  while (!holds_.empty() && holds_.front().begin <= out_pos_ &&
         holds_.front().release_micros <= now) {
    holds_.erase(holds_.begin());
  }
  if (out_pos_ == out_.size() && holds_.empty()) {
    out_.clear();
    out_pos_ = 0;
  } else if (out_pos_ > kCompactAfter) {
    out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(out_pos_));
    for (Hold& hold : holds_) hold.begin -= std::min(hold.begin, out_pos_);
    out_pos_ = 0;
  }
  return n;
}

void Engine::ResetLine() {
  in_len_ = 0;
  out_.clear();
  out_pos_ = 0;
  holds_.clear();
}

void Engine::DropLink() {
  dropped_ = true;
  ResetLine();
}

void Engine::Reconnect() {
  dropped_ = false;
  ResetLine();
}

}  // namespace kyr::headsim
