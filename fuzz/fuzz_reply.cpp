// The link's reply and handshake parsing, fed by a byte channel whose every read, write and
// drain is decided by the fuzzer: full, short or failed reads, partial writes, bytes left
// over for a drain. Checks the results stay within their documented sets.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "link/byte_channel.h"
#include "link/frames.h"
#include "link/link.h"
#include "link/result_codes.h"

namespace {

class FuzzedChannel : public kyr::link::ByteChannel {
 public:
  explicit FuzzedChannel(FuzzedDataProvider& input) : input_(input) {}

  bool Write(const std::uint8_t*, std::size_t count, std::size_t& written) override {
    written = 0;
    if (closed_) return false;
    switch (input_.ConsumeIntegralInRange<int>(0, 7)) {
      case 0:
        return false;
      case 1:
        written = input_.ConsumeIntegralInRange<std::size_t>(0, count);
        return true;
      default:
        written = count;
        return true;
    }
  }

  bool Read(std::uint8_t* data, std::size_t count, std::size_t& got) override {
    got = 0;
    if (closed_) return false;
    std::size_t wanted = count;
    switch (input_.ConsumeIntegralInRange<int>(0, 7)) {
      case 0:
        return false;
      case 1:
        wanted = input_.ConsumeIntegralInRange<std::size_t>(0, count);
        break;
      default:
        break;
    }
    const std::vector<std::uint8_t> bytes = input_.ConsumeBytes<std::uint8_t>(wanted);
    for (std::size_t i = 0; i < bytes.size(); ++i) data[i] = bytes[i];
    got = bytes.size();
    return true;
  }

  std::size_t Drain(std::uint32_t, std::uint32_t) override {
    if (closed_) return 0;
    return input_.ConsumeBytes<std::uint8_t>(input_.ConsumeIntegralInRange<std::size_t>(0, 600))
        .size();
  }

  void Close() override { closed_ = true; }

 private:
  FuzzedDataProvider& input_;
  bool closed_ = false;
};

// Words only with a good reply or a bad checksum (stored all the same), never more than 255.
bool IsReplyResult(const kyr::link::ReplyResult& r) {
  using enum kyr::link::ReplyFault;
  const bool words_allowed = r.fault == kNone || r.fault == kBadChecksum;
  return r.words >= 0 && r.words <= 255 && (words_allowed || r.words == 0);
}

bool IsHandshakeResult(kyr::link::LinkResult r) {
  using enum kyr::link::LinkResult;
  return r == kOk || r == kWritePartial || r == kWriteFailed || r == kHandshakeBadReply ||
         r == kHandshakeShort || r == kHandshakeReadFailed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  kyr::link::Link link(kyr::link::LinkEnvironment{});
  link.Attach(std::make_unique<FuzzedChannel>(input), kyr::link::LinkMode::Usb);
  kyr::link::ReplyWords words{};
  for (int step = 0; step < 64 && input.remaining_bytes() > 0; ++step) {
    switch (input.ConsumeIntegralInRange<int>(0, 4)) {
      case 0:
        if (!IsHandshakeResult(link.Handshake())) std::abort();
        break;
      case 1:
        if (!IsReplyResult(link.ReceiveReply(words))) std::abort();
        break;
      case 2: {
        const int presence = link.QueryHead(input.ConsumeIntegralInRange<int>(-1, 4));
        if (presence < -1 || presence > 255) std::abort();
        break;
      }
      case 3: {
        const std::vector<std::uint8_t> body =
            input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 520));
        const int sent = kyr::link::Code(link.SendFrame(body.data(), body.size()));
        if (sent < 0 || sent > 2) std::abort();
        break;
      }
      default:
        link.DiscardPending();
        break;
    }
  }
  link.CloseLink(input.ConsumeBool());
  return 0;
}
