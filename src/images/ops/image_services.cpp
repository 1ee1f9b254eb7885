// ReadImage and WriteImage: one image between a head and a raw image in memory.
#include <algorithm>
#include <array>
#include <optional>
#include <ostream>
#include <utility>

#include "images/ops/image_types.h"
#include "images/ops/services.h"
#include "link/exchange.h"
#include "link/step_tracker.h"

namespace kyr::images {
namespace {

// How long the line must stay quiet before a request whose reply went wrong is given up.
constexpr std::uint32_t kLateAnswersQuietMs = 2500;
// Poll replies of the wrong length allowed in a row; the next one gives up.
constexpr int kBadPollRepliesAllowed = 20;
// First poll words of a head still busy with the image.
constexpr std::uint16_t kBusy = 5;
constexpr std::uint16_t kBusyStoring = 15;
// The longest a head may stay busy with one image before the write gives up on it.
constexpr std::uint32_t kStoreLimitMs = 60'000;

ImageResult FromExchange(link::ExchangeResult result) {
  switch (result) {
    case link::ExchangeResult::kDone:
      return ImageResult::kDone;
    case link::ExchangeResult::kNotSent:
      return ImageResult::kNotSent;
    case link::ExchangeResult::kStopped:
      // A stop asked for while waiting for the head (Ctrl-C, Abort) ends it as an abort.
      return ImageResult::kAborted;
    case link::ExchangeResult::kNoGoodReply:
      break;
  }
  return ImageResult::kNoGoodReply;
}

// NG images always come from the first head.
int SourceHead(const ImageTypeInfo& info, int head) {
  return FromTargetHead(info) ? head : 0;
}

void StoreBlock(RawImage& image, int block, const link::ReplyWords& words) {
  std::copy_n(words.begin(), kWordsPerBlock,
              image.words.begin() + static_cast<std::ptrdiff_t>(block) * kWordsPerBlock);
}

// Sends block `block` with its data and waits for the acknowledge, again after a wrong one.
ImageResult WriteBlock(link::Link& link, int head, int unit, int block, const RawImage& image) {
  std::array<std::uint8_t, 2 * kWordsPerBlock> data{};
  const auto first = static_cast<std::size_t>(block) * kWordsPerBlock;
  for (std::size_t i = 0; i < kWordsPerBlock; ++i) {
    const std::uint16_t word = image.words[first + i];
    data[2 * i] = static_cast<std::uint8_t>(word & 0xFF);
    data[2 * i + 1] = static_cast<std::uint8_t>(word >> 8);
  }
  link::Request request{BlockWriteCommand(head, unit, block), 0, data};
  request.block = block;
  link::ReplyWords words{};
  return FromExchange(link::Exchange(link, request, words));
}

// Polls until the head is no longer busy with the image. Between polls the abort hook is
// read; a head still busy after kStoreLimitMs is given up on, so that a head stuck busy
// cannot hang the caller.
ImageResult WaitUntilStored(link::Link& link, int head, const tool::ServiceHooks& hooks) {
  const link::Request poll{link::WriteStatusPollCommand(head), link::kWriteStatusWords};
  constexpr link::RetryPolicy kPollPolicy{kBadPollRepliesAllowed + 1, true, link::kDrainQuietMs};
  link::ReplyWords words{};
  const std::uint32_t start = link.TickCount();
  bool first = true;
  ImageResult stopped = ImageResult::kDone;
  // True before every poll but the first unless the wait is to end.
  auto may_poll_again = [&] {
    if (std::exchange(first, false)) return true;
    if (hooks.AbortRequested()) {
      stopped = ImageResult::kAborted;
      return false;
    }
    // Unsigned difference: right across a wrap of the tick count.
    if (link.TickCount() - start >= kStoreLimitMs) {
      stopped = ImageResult::kStillBusy;
      return false;
    }
    return true;
  };
  // Each busy answer starts the count of wrong replies afresh.
  for (;;) {
    const link::ExchangeResult result = link::Retry(link, kPollPolicy, [&] {
      return may_poll_again() ? link::AskOnce(link, poll, words) : link::Attempt::kStopped;
    });
    if (result == link::ExchangeResult::kStopped) return stopped;
    if (result != link::ExchangeResult::kDone) return FromExchange(result);
    if (words[0] != kBusy && words[0] != kBusyStoring) return ImageResult::kDone;
  }
}

}  // namespace

std::string_view ImageResultName(ImageResult result) {
  switch (result) {
    case ImageResult::kDone:
      return "done";
    case ImageResult::kNotSent:
      return "not sent";
    case ImageResult::kNoGoodReply:
      return "no good reply";
    case ImageResult::kAborted:
      return "aborted";
    case ImageResult::kStillBusy:
      return "still busy";
  }
  return "?";
}

std::ostream& operator<<(std::ostream& out, ImageResult result) {
  return out << ImageResultName(result);
}

ToolText ImageResultText(ImageResult result) {
  switch (result) {
    case ImageResult::kDone:
      return {};
    case ImageResult::kNotSent:
      return ToolText::kWriteUsbFailed;
    case ImageResult::kAborted:
      return ToolText::kAborted;
    case ImageResult::kNoGoodReply:
    case ImageResult::kStillBusy:
      break;
  }
  return ToolText::kCommunicationError;
}

// The image is read in step: a request that a stray reply may have answered is asked
// again, with every one after it.
ImageResult ReadImage(link::Link& link, int head, ImageType type, int number, RawImage& image,
                      const tool::ServiceHooks& hooks) {
  const ImageTypeInfo& info = ImageTypeOf(static_cast<int>(type));
  const int source_head = SourceHead(info, head);
  const int unit = ImageUnit(info, number);
  int replies = info.replies_per_request;
  bool aborted = false;
  link::ReplyWords words{};
  link::StepTracker steps(link, kBlocksPerImage, kWordsPerBlock);
  for (int block = 0; block < kBlocksPerImage;) {
    steps.Begin(block);
    auto request_blocks = [&] {
      link::Request request{BlockReadCommand(info, source_head, unit, block, replies),
                            kWordsPerBlock};
      request.block = block;
      link::Attempt attempt = link::AskOnce(link, request, words);
      for (int received = 0; attempt == link::Attempt::kGood;) {
        StoreBlock(image, block + received, words);
        hooks.Progress(block + received);
        if (hooks.AbortRequested()) {
          aborted = true;
          return link::Attempt::kStopped;
        }
        if (++received == replies) return link::Attempt::kGood;
        link.NoteBlock(block + received);
        attempt = link::ReceiveOnce(link, kWordsPerBlock, words);
      }
      if (attempt != link::Attempt::kWrong) return attempt;
      // When a reply of a many-block request went wrong, its followers may still come, late
      // but all at once; taken for the answers to the single-block requests that follow they
      // would put one block's words in another's place. They are waited out once per image.
      if (replies > 1) link.DiscardPending(kLateAnswersQuietMs);
      replies = 1;
      return link::Attempt::kWrong;
    };
    const link::ExchangeResult result = link::Retry(link, link::kFiveAttempts, request_blocks);
    if (aborted) return ImageResult::kAborted;
    if (result != link::ExchangeResult::kDone) return FromExchange(result);
    const std::optional<int> next = steps.Next(block + replies);
    if (!next) return ImageResult::kNoGoodReply;
    block = *next;
  }
  return ImageResult::kDone;
}

// The writes and the wait are one series of steps: when a stray reply may have been taken
// for an acknowledge or a poll's answer, the series goes on again from the first block it
// may have answered.
ImageResult WriteImage(link::Link& link, int head, ImageType type, int number,
                       const RawImage& image, const tool::ServiceHooks& hooks) {
  const int unit = ImageUnit(ImageTypeOf(static_cast<int>(type)), number);
  constexpr int kWaitStep = kBlocksPerImage;
  link::StepTracker steps(link, kWaitStep + 1, link::kWriteStatusWords);
  for (int step = 0; step <= kWaitStep;) {
    steps.Begin(step);
    if (step < kWaitStep) {
      const ImageResult written = WriteBlock(link, head, unit, step, image);
      if (written != ImageResult::kDone) return written;
      hooks.Progress(step);
    } else if (const ImageResult stored = WaitUntilStored(link, head, hooks);
               stored != ImageResult::kDone) {
      return stored;
    }
    const std::optional<int> next = steps.Next(step + 1);
    if (!next) return ImageResult::kNoGoodReply;
    step = *next;
  }
  return ImageResult::kDone;
}

}  // namespace kyr::images
