// Which images of a type the head holds: the selection offered before an image read.
#include <cstdint>

#include "images/ops/exchange.h"
#include "images/ops/image_types.h"

namespace kyr::images::detail {
namespace {

// A request answered wrongly this many times in a row gives up.
constexpr int kWrongRepliesAllowed = 5;

constexpr std::uint32_t kBankWordsBytes = 384;            // 192 settings words per bank
constexpr std::uint32_t kRegistrationWordOffset = 10;     // bank word 5
constexpr std::uint32_t kContinuousShotWordOffset = 20;   // bank word 10
constexpr std::uint32_t kMemoryPresenceAddress = 0x3F94;  // common words 10 and 11
constexpr std::uint32_t kShotModeAddress = 0x3F88;        // common word 4
constexpr std::uint16_t kNotRegisteredBit = 0x8000;
constexpr int kNgPieceWords = 18;
constexpr int kNgPieces = 15;
constexpr int kNgRingWord = 6;
constexpr int kNgFirstRecordWord = 7;

std::array<std::uint8_t, 6> ShootStatusCommand(int head) {
  return {static_cast<std::uint8_t>(0x28 + head), 0, 0, 0, 4, 0};
}

std::array<std::uint8_t, 6> NgTableCommand(int word_offset) {
  return link::MakeCommand(0xF9, static_cast<std::uint32_t>(word_offset), kNgPieceWords, 0);
}

// Asks until the reply is right, at most five wrong replies in a row.
bool AskWithRetries(ImageOpsContext& ctx, const std::array<std::uint8_t, 6>& command, int expected,
                    link::ReplyWords& words) {
  for (int wrong = 0;;) {
    switch (Ask(ctx.link, command, expected, words)) {
      case Exchange::kGood:
        // The answer taken after a wrong one may be a late answer to an earlier attempt;
        // the answers to the repeated requests may still follow it.
        if (wrong > 0) ctx.link.DiscardPending();
        return true;
      case Exchange::kNotSent:
        ReportNotSent(ctx);
        return false;
      case Exchange::kWrong:
        if (++wrong >= kWrongRepliesAllowed) {
          ReportCommunicationError(ctx);
          return false;
        }
        break;
    }
  }
}

// Bank b is offered when its registration bit is clear.
bool FindBankImages(ImageOpsContext& ctx, int head) {
  link::ReplyWords words{};
  for (std::uint32_t bank = 0; bank < 32; ++bank) {
    const auto command =
        SettingsReadCommand(head, kBankWordsBytes * bank + kRegistrationWordOffset, 1);
    if (!AskWithRetries(ctx, command, 1, words)) return false;
    if ((words[0] & kNotRegisteredBit) == 0) ctx.state.selection |= 1ULL << bank;
  }
  return true;
}

// Memory image k is offered when bit k of the two presence words is clear.
bool FindMemoryImages(ImageOpsContext& ctx, int head) {
  link::ReplyWords words{};
  if (!AskWithRetries(ctx, SettingsReadCommand(head, kMemoryPresenceAddress, 2), 2, words)) {
    return false;
  }
  const auto low = static_cast<std::uint16_t>(~words[0]);
  const auto high = static_cast<std::uint16_t>(~words[1]);
  ctx.state.selection = (static_cast<std::uint64_t>(high) << 16) | low;
  return true;
}

// Taken images: the shoot status names the bank of the last shot, whose continuous-shot
// count says how many pictures were taken. A wrong reply to a later step starts the
// sequence again. The wrong replies are counted over the whole sequence: the status is
// asked again at every restart, so counting only wrong replies in a row would never end
// with a head that always fails a later step.
bool FindShootImages(ImageOpsContext& ctx, int head) {
  enum class Step { kDone, kAgain, kGiveUp };
  link::ReplyWords words{};
  int wrong = 0;
  auto step = [&](const std::array<std::uint8_t, 6>& command, int expected) {
    switch (Ask(ctx.link, command, expected, words)) {
      case Exchange::kGood:
        return Step::kDone;
      case Exchange::kNotSent:
        ReportNotSent(ctx);
        return Step::kGiveUp;
      case Exchange::kWrong:
        break;
    }
    if (++wrong < kWrongRepliesAllowed) return Step::kAgain;
    ReportCommunicationError(ctx);
    return Step::kGiveUp;
  };
  for (;;) {
    Step result = step(ShootStatusCommand(head), 4);
    if (result == Step::kGiveUp) return false;
    if (result == Step::kAgain) continue;
    const std::uint32_t bank = words[0];
    if (words[3] == 0) {
      result = step(SettingsReadCommand(head, kShotModeAddress, 1), 1);
      if (result == Step::kGiveUp) return false;
      if (result == Step::kAgain) continue;
    }
    const std::uint32_t address = (kBankWordsBytes * bank + kContinuousShotWordOffset) & 0xFFFFFF;
    result = step(SettingsReadCommand(head, address, 1), 1);
    if (result == Step::kGiveUp) return false;
    if (result == Step::kAgain) continue;
    const int last = words[0] & 7;
    ctx.state.selection = (1ULL << (last + 1)) - 1;
    return true;
  }
}

// NG images: the table of the first head, read in pieces that are not retried.
bool FindNgImages(ImageOpsContext& ctx) {
  link::ReplyWords words{};
  std::array<std::uint16_t, kNgPieces * kNgPieceWords> table{};
  for (int piece = 0; piece < kNgPieces; ++piece) {
    switch (Ask(ctx.link, NgTableCommand(piece * kNgPieceWords), kNgPieceWords, words)) {
      case Exchange::kGood:
        break;
      case Exchange::kNotSent:
        ReportNotSent(ctx);
        return false;
      case Exchange::kWrong:
        ReportCommunicationError(ctx);
        return false;
    }
    std::copy_n(words.begin(), kNgPieceWords, table.begin() + piece * kNgPieceWords);
  }
  ctx.state.ng_ring_position = table[kNgRingWord] & 0xFF;
  for (int r = 0; r < kNgRecordCount; ++r) {
    const std::size_t at = static_cast<std::size_t>(kNgFirstRecordWord + 4 * r);
    ctx.state.ng_records[static_cast<std::size_t>(r)] = {table[at], table[at + 1], table[at + 2],
                                                         table[at + 3]};
  }
  for (int d = 0; d < kNgRecordCount; ++d) {
    const auto record = static_cast<std::size_t>(NgRecordIndex(ctx.state.ng_ring_position, d));
    if (ctx.state.ng_records[record].r3 != 0) ctx.state.selection |= 1ULL << d;
  }
  return true;
}

}  // namespace

bool RunPresencePhase(ImageOpsContext& ctx, int head) {
  ctx.state.selection = 0;
  switch (ImageTypeOf(ctx.type).type) {
    case ImageType::Bank:
      return FindBankImages(ctx, head);
    case ImageType::Memory:
      return FindMemoryImages(ctx, head);
    case ImageType::Shoot:
      return FindShootImages(ctx, head);
    case ImageType::Ng:
      return FindNgImages(ctx);
  }
  return false;
}

}  // namespace kyr::images::detail
