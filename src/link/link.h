#pragma once
// The link to one sensor head: opening by port name, the byte primitives, frames and replies.
//
// The tool holds one Link for the process and opens it at the start of every command; tests
// and the simulator make as many as they like. A Link owns its open channel; the platform it
// opens channels on is given as a LinkEnvironment.
//
// Typical use:
//   Link link(environment);
//   if (link.OpenLink(port_text, /*handshake=*/true) == LinkResult::kOk) {
//     if (link.SendFrame(cmd.data(), cmd.size()) == FrameResult::kSent &&
//         link.ReceiveReply(words).HasWords(128)) { ... }
//   }
//   link.CloseLink(!failed);   // on every path, also after a failed OpenLink
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "link/byte_channel.h"
#include "link/failure_note.h"
#include "link/frames.h"
#include "link/platform.h"
#include "link/port_name.h"
#include "link/result_codes.h"

namespace kyr::link {

// How long a line must stay quiet before a drain ends, and the most a drain may take.
inline constexpr std::uint32_t kDrainQuietMs = 50;
inline constexpr std::uint32_t kDrainLimitMs = 2000;
// How long past its wire time a reply must be overdue before the wait is shown to the user.
inline constexpr std::uint32_t kStallNoticeMs = 1000;
// How long past a reply header's wire time the line must stay quiet at the end of a transfer.
inline constexpr std::uint32_t kEndQuietMarginMs = 10;
// How long a reply may take to start: the USB read time-out, and the serial one for the two
// bytes of a reply's header.
inline constexpr std::uint32_t kUsbReplyTimeoutMs = 500;
inline constexpr std::uint32_t kSerialReplyTimeoutMs = 3000;

// Milliseconds that `bytes` take on the head's line (115200 baud, ten bits a byte), rounded up.
constexpr std::uint32_t WireMs(std::size_t bytes) {
  return static_cast<std::uint32_t>((bytes * 10 * 1000 + 115199) / 115200);
}

class Link {
 public:
  explicit Link(LinkEnvironment environment);
  ~Link();  // closes an open channel, without the closing frame
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  // Opens the transport the port text names. USB: kOk with the device's index in
  // DeviceIndex(), then with `handshake` the handshake's result; kNoKyrDevice, kNotListed or
  // kOpenFailed when the device cannot be found or opened. Serial: kOk, or kOpenFailed when
  // the port cannot be opened; no handshake is made over serial. A link that is still open is
  // closed first (without the closing frame).
  [[nodiscard]] LinkResult OpenLink(std::string_view port_name, bool handshake);

  // Closes the link; with `closing` on USB the closing frame is sent first and its result
  // (kOk, kWritePartial, kWriteFailed) returned, else kOk. Always leaves the mode None and the
  // device serial empty. Without `closing` the result needs no look.
  LinkResult CloseLink(bool closing);

  // Byte primitives: false with no link open or when the transport fails; a time-out gives
  // true with a short count. A short or failed read marks the line for draining.
  bool WriteRaw(const std::uint8_t* data, std::size_t count, std::size_t& written);
  bool ReadRaw(std::uint8_t* data, std::size_t count, std::size_t& got);

  // Appends the checksum to `count` bytes (at most 511) and writes them in one WriteRaw.
  [[nodiscard]] FrameResult SendFrame(const std::uint8_t* bytes, std::size_t count);

  // Reads one reply into `words` (host order): its N words, or what was wrong with it.
  [[nodiscard]] ReplyResult ReceiveReply(ReplyWords& words);

  // 55 8C out, 8C 73 back: kOk, a write result or a handshake result.
  [[nodiscard]] LinkResult Handshake();
  // FE 8C 73 00 00 00 02 out, no reply read: kOk, kWritePartial or kWriteFailed.
  [[nodiscard]] LinkResult SendClosingFrame();
  // Presence byte of head `h` (0 to 2) from the Query heads reply, or -1.
  int QueryHead(int h);

  // Discards what is still arriving until the line has been quiet for kDrainQuietMs: the
  // rest of what a request given up on still sends. A longer `quiet_ms` waits out answers
  // that may come later than the short while.
  void DiscardPending(std::uint32_t quiet_ms = kDrainQuietMs);

  // After a reply of `reply_words` words went wrong: discards what arrives until the line has
  // been quiet for the time a reply may take to start plus that reply's wire time, so that
  // the answer given up on cannot arrive after the next request and be taken for its answer.
  // What arrives then is that answer's rest; but after `whole_wrong_reply` (a sound reply of
  // another length, as a stray one would be) it is more likely the answer that reply took
  // the place of, and the line is out of step.
  void DiscardAfterFailedReply(int reply_words, bool whole_wrong_reply = false);

  // After a request that needed more than one attempt: discards the answers to the attempts
  // given up on that still come. The reply taken may itself have been a stray one (a copy of
  // an earlier answer that held back this request's own), so bytes found put the line out of
  // step from that reply on; asking that one request again costs little.
  void DiscardAfterRetriedSuccess(std::uint32_t quiet_ms);

  // Called before each request: bytes waiting on the line are discarded and put the line out
  // of step (see below).
  void DiscardStrayBeforeRequest();

  // Keeping in step. Replies carry no address, so a stray reply (a late one, a copy, line
  // noise) taken for the answer to a request shifts every later answer by one. The link
  // numbers the replies it reads from 0 and notes when bytes were on the line where none
  // should be: waiting before a request, arriving during a drain, or left after the last
  // reply. From then on, every reply read since the line was last known quiet is suspect.
  //
  // The number the next reply will get.
  std::uint64_t ReplyCount() const { return replies_; }
  // The first reply that may have been a stray one's, when the line was found out of step.
  std::optional<std::uint64_t> OutOfStepSince() const { return out_of_step_since_; }
  // The caller has asked again from OutOfStepSince() on: the line counts as in step.
  void ClearOutOfStep() { out_of_step_since_.reset(); }
  // The check at the end of a transfer whose longest reply has `reply_words` words: waits
  // until the line has been quiet as long as the start of an answer right behind the last
  // reply would take to come. False when the line is (or was found) out of step.
  [[nodiscard]] bool EndsInStep(int reply_words);

  // The block the next request is about (-1 for none), for the trace.
  void NoteBlock(int block);
  // A line of the trace of its own (and of the notes the environment listens to).
  void Note(std::string_view note) { Trace(note); }
  int block() const { return block_; }
  int NotedBlock() const { return block_; }

  // Milliseconds on the link's clock (the environment's, else the system's), for the waits
  // of the commands that use the link, so that they run on simulated time in tests too.
  std::uint32_t TickCount();

  LinkMode Mode() const { return mode_; }
  // The FTDI index of the open USB device; -1 with no USB device open.
  int DeviceIndex() const { return device_index_; }
  bool IsOpen() const { return channel_ != nullptr; }
  const std::string& DeviceSerial() const { return device_serial_; }
  // The head unit the next USB opens look for by serial number (empty: the first listed),
  // as --device chooses it at start; the tool window changes it from its unit chooser.
  void ChooseDevice(std::string serial) { environment_.device_serial = std::move(serial); }
  const std::string& ChosenDevice() const { return environment_.device_serial; }
  // What the system says about the last failed USB open, for the user (for example that the
  // device node may not be opened, and how to allow it); empty when there is nothing to add.
  const std::string& FailureDetail() const { return failure_detail_; }

  // Why the last open, read or write failed, and where (cleared by every OpenLink).
  const FailureNote& LastFailure() const { return failure_; }
  // Records a more precise reason than the link's own (a discovery check, a back end).
  void NoteFailure(std::string where, std::string why) {
    failure_.Record(std::move(where), std::move(why));
  }

  // What a wait on the line may ask to end early (Ctrl-C on the command line, Abort in the
  // window); without a check nothing asks.
  // A stop ends the wait in hand as its time-out would, and the exchange as stopped.
  void SetStopCheck(std::function<bool()> check) { stop_check_ = std::move(check); }
  bool StopRequested() const { return stop_check_ && stop_check_(); }

  // Told once, with the block noted for the request (-1 for none), when the answer to a
  // request is overdue by more than kStallNoticeMs: the head is slow or silent, and the user
  // should see what the tool waits for. Again only after a sound reply has come.
  void SetStallNotice(std::function<void(int block)> notice) { stall_notice_ = std::move(notice); }

  // Adopts an already open channel as the link in `mode` (embedding and tests).
  void Attach(std::unique_ptr<ByteChannel> channel, LinkMode mode);

 private:
  LinkResult OpenUsb(bool handshake);
  LinkResult OpenSerial(std::string_view port_name);
  void DrainBeforeWrite();
  std::uint32_t ReplyTimeoutMs() const;
  // Drains until quiet for `quiet_ms`; the number of bytes discarded.
  std::size_t Drain(std::uint32_t quiet_ms, std::uint32_t limit_ms);
  void NoteStrayBytes();
  void NoteNoUsbHead();
  void NoteSystemFailure(int error_number);
  ReplyResult ReceiveReplyUntraced(ReplyWords& words);
  // The channel's check while it waits: notes a stall, and says whether to go on waiting.
  bool KeepWaiting();
  void Trace(std::string_view note);

  LinkEnvironment environment_;
  LinkMode mode_ = LinkMode::None;
  std::unique_ptr<ByteChannel> channel_;
  std::string device_serial_;
  int device_index_ = -1;
  std::string place_;  // the device path or head unit, for the failure note
  FailureNote failure_;
  std::string failure_detail_;
  bool line_dirty_ = false;  // a reply failed or came short: late bytes may still arrive
  std::uint64_t replies_ = 0;
  std::uint64_t quiet_mark_ = 0;  // replies read when the line was last known to be quiet
  std::optional<std::uint64_t> out_of_step_since_;
  int block_ = -1;
  std::function<bool()> stop_check_;
  std::function<void(int)> stall_notice_;
  std::optional<std::uint32_t> awaiting_since_;  // tick of the first request not yet answered
  bool stall_shown_ = false;
  std::array<std::uint8_t, kMaxFrameBody + 1> send_buffer_{};
  std::array<std::uint8_t, ReplySize(kMaxReplyWords)> reply_buffer_{};
};

}  // namespace kyr::link
