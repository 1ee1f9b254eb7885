// Which images of a type the head holds: the selection offered before an image read.
#include <cstdint>
#include <optional>

#include "images/ops/exchange.h"
#include "images/ops/image_types.h"
#include "link/protocol.h"
#include "link/step_tracker.h"
#include "settings/field_table.h"

namespace kyr::images::detail {
namespace {

using link::Attempt;
using link::ExchangeResult;
using settings::FieldId;

constexpr int kNgPieces = 15;
constexpr int kNgRingWord = 6;
constexpr int kNgFirstRecordWord = 7;

// The settings field as the head's current settings version lays it out.
const settings::Field& HeadField(FieldId id) {
  return *settings::FindField(id, settings::kLatestVersion);
}

// Byte address in the head of the word holding `id` for bank `bank`.
std::uint32_t FieldAddress(FieldId id, int bank = 0) {
  return (2u * static_cast<std::uint32_t>(settings::FieldWord(HeadField(id), bank, 0))) & 0xFFFFFF;
}

unsigned FieldBits(FieldId id, std::uint16_t word) {
  const settings::Field& field = HeadField(id);
  return (word >> field.shift) & field.mask;
}

link::Request SettingsRead(int head, std::uint32_t address, int words) {
  return {link::ReadMemoryCommand(head, address, words), words};
}

// Bank b is offered when its image registration field says registered (0).
bool FindBankImages(ImageOpsContext& ctx, int head) {
  link::ReplyWords words{};
  for (int bank = 0; bank < settings::kBankCount; ++bank) {
    link::Request request = SettingsRead(head, FieldAddress(FieldId::kImageRegistration, bank), 1);
    request.block = bank;
    if (!ExchangeDone(ctx, link::Exchange(ctx.link, request, words))) return false;
    if (FieldBits(FieldId::kImageRegistration, words[0]) == 0) ctx.state.selection |= 1ULL << bank;
  }
  return true;
}

// Memory image k is offered when bit k of the two presence words is clear.
bool FindMemoryImages(ImageOpsContext& ctx, int head) {
  link::ReplyWords words{};
  const link::Request request = SettingsRead(head, FieldAddress(FieldId::kCommonWord10), 2);
  if (!ExchangeDone(ctx, link::Exchange(ctx.link, request, words))) return false;
  const auto low = static_cast<std::uint16_t>(~words[0]);
  const auto high = static_cast<std::uint16_t>(~words[1]);
  ctx.state.selection = (static_cast<std::uint64_t>(high) << 16) | low;
  return true;
}

// Taken images: the shoot status names the bank of the last shot, whose continuous-shot
// count says how many pictures were taken. A wrong reply to any step asks the whole
// sequence again and counts as one wrong attempt: counting only the status replies would
// never end with a head that always fails a later step.
bool FindShootImages(ImageOpsContext& ctx, int head) {
  link::ReplyWords words{};
  int last = 0;
  auto sequence = [&] {
    const link::Request status{link::ShootStatusCommand(head), link::kShootStatusWords};
    if (const Attempt a = link::AskOnce(ctx.link, status, words); a != Attempt::kGood) return a;
    const int bank = words[0];
    if (words[3] == 0) {
      const link::Request mode = SettingsRead(head, FieldAddress(FieldId::kSaveNgImage), 1);
      if (const Attempt a = link::AskOnce(ctx.link, mode, words); a != Attempt::kGood) return a;
    }
    const link::Request shots =
        SettingsRead(head, FieldAddress(FieldId::kContinuousShots, bank), 1);
    if (const Attempt a = link::AskOnce(ctx.link, shots, words); a != Attempt::kGood) return a;
    last = static_cast<int>(FieldBits(FieldId::kContinuousShots, words[0]));
    return Attempt::kGood;
  };
  if (!ExchangeDone(ctx, link::Retry(ctx.link, link::kFiveAttempts, sequence))) return false;
  ctx.state.selection = (1ULL << (last + 1)) - 1;
  return true;
}

// NG images: the table of the first head, read in pieces that are not retried.
bool FindNgImages(ImageOpsContext& ctx) {
  link::ReplyWords words{};
  constexpr int kPieceWords = link::kNgTablePieceWords;
  std::array<std::uint16_t, kNgPieces * kPieceWords> table{};
  for (int piece = 0; piece < kNgPieces; ++piece) {
    const link::Request request{link::NgTablePieceCommand(piece * kPieceWords), kPieceWords};
    // A wrong piece is not asked again.
    if (!ExchangeDone(ctx, link::Exchange(ctx.link, request, words, link::kOneAttempt))) {
      return false;
    }
    std::copy_n(words.begin(), kPieceWords, table.begin() + piece * kPieceWords);
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

namespace {

bool FindImages(ImageOpsContext& ctx, int head) {
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

}  // namespace

// The phase is short and its reads depend on each other (the shoot status names the bank
// read next), so when a stray reply may have answered any of them it is asked again whole.
bool RunPresencePhase(ImageOpsContext& ctx, int head) {
  constexpr int kWholePhase = 1;
  link::StepTracker steps(ctx.link, kWholePhase, link::kMaxReplyWords);
  for (int step = 0; step < kWholePhase;) {
    steps.Begin(step);
    if (!FindImages(ctx, head)) return false;
    const std::optional<int> next = steps.Next(step + 1);
    if (!next) {
      ReportCommunicationError(ctx);
      return false;
    }
    step = *next;
  }
  return true;
}

}  // namespace kyr::images::detail
