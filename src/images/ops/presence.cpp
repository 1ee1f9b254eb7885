// FindImages: which images of a type the head holds, the selection offered before an image
// read.
#include <cstdint>
#include <optional>

#include "images/ops/image_types.h"
#include "images/ops/services.h"
#include "link/exchange.h"
#include "link/protocol.h"
#include "link/step_tracker.h"
#include "settings/field_table.h"
#include "settings/image_presence.h"

namespace kyr::images {
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

ImageResult FromExchange(ExchangeResult result) {
  switch (result) {
    case ExchangeResult::kDone:
      return ImageResult::kDone;
    case ExchangeResult::kNotSent:
      return ImageResult::kNotSent;
    case ExchangeResult::kNoGoodReply:
    case ExchangeResult::kStopped:
      break;
  }
  return ImageResult::kNoGoodReply;
}

link::Request SettingsRead(int head, std::uint32_t address, int words) {
  return {link::ReadMemoryCommand(head, address, words), words};
}

// Bank b is offered when its image registration field says registered (0).
ImageResult FindBankImages(link::Link& link, int head, ImagesFound& found) {
  link::ReplyWords words{};
  for (int bank = 0; bank < settings::kBankCount; ++bank) {
    link::Request request = SettingsRead(head, FieldAddress(FieldId::kImageRegistration, bank), 1);
    request.block = bank;
    const ImageResult read = FromExchange(link::Exchange(link, request, words));
    if (read != ImageResult::kDone) return read;
    if (settings::BankImageRegistered(words[0])) found.mask |= 1ULL << bank;
  }
  return ImageResult::kDone;
}

// Memory image k is offered when bit k of the two presence words is clear.
ImageResult FindMemoryImages(link::Link& link, int head, ImagesFound& found) {
  link::ReplyWords words{};
  const link::Request request = SettingsRead(head, FieldAddress(FieldId::kCommonWord10), 2);
  const ImageResult read = FromExchange(link::Exchange(link, request, words));
  if (read != ImageResult::kDone) return read;
  found.mask = settings::MemoryImagesPresent(words[0], words[1]);
  return ImageResult::kDone;
}

// Taken images: the shoot status names the bank of the last shot, whose continuous-shot
// count says how many pictures were taken. A wrong reply to any step asks the whole
// sequence again and counts as one wrong attempt: counting only the status replies would
// never end with a head that always fails a later step.
ImageResult FindShootImages(link::Link& link, int head, ImagesFound& found) {
  link::ReplyWords words{};
  int last = 0;
  auto sequence = [&] {
    const link::Request status{link::ShootStatusCommand(head), link::kShootStatusWords};
    if (const Attempt a = link::AskOnce(link, status, words); a != Attempt::kGood) return a;
    const int bank = words[0];
    if (words[3] == 0) {
      const link::Request mode = SettingsRead(head, FieldAddress(FieldId::kSaveNgImage), 1);
      if (const Attempt a = link::AskOnce(link, mode, words); a != Attempt::kGood) return a;
    }
    const link::Request shots =
        SettingsRead(head, FieldAddress(FieldId::kContinuousShots, bank), 1);
    if (const Attempt a = link::AskOnce(link, shots, words); a != Attempt::kGood) return a;
    last = static_cast<int>(FieldBits(FieldId::kContinuousShots, words[0]));
    return Attempt::kGood;
  };
  const ImageResult read = FromExchange(link::Retry(link, link::kFiveAttempts, sequence));
  if (read != ImageResult::kDone) return read;
  found.mask = (1ULL << (last + 1)) - 1;
  return ImageResult::kDone;
}

// NG images: the table of the first head, read in pieces that are not retried.
ImageResult FindNgImages(link::Link& link, ImagesFound& found) {
  link::ReplyWords words{};
  constexpr int kPieceWords = link::kNgTablePieceWords;
  std::array<std::uint16_t, kNgPieces * kPieceWords> table{};
  for (int piece = 0; piece < kNgPieces; ++piece) {
    const link::Request request{link::NgTablePieceCommand(piece * kPieceWords), kPieceWords};
    // A wrong piece is not asked again.
    const ImageResult read = FromExchange(link::Exchange(link, request, words, link::kOneAttempt));
    if (read != ImageResult::kDone) return read;
    std::copy_n(words.begin(), kPieceWords, table.begin() + piece * kPieceWords);
  }
  found.ng.ring_position = table[kNgRingWord] & 0xFF;
  for (int r = 0; r < kNgRecordCount; ++r) {
    const std::size_t at = static_cast<std::size_t>(kNgFirstRecordWord + 4 * r);
    found.ng.records[static_cast<std::size_t>(r)] = {table[at], table[at + 1], table[at + 2],
                                                     table[at + 3]};
  }
  for (int d = 0; d < kNgRecordCount; ++d) {
    const auto record = static_cast<std::size_t>(NgRecordIndex(found.ng.ring_position, d));
    if (found.ng.records[record].r3 != 0) found.mask |= 1ULL << d;
  }
  return ImageResult::kDone;
}

ImageResult FindImagesOnce(link::Link& link, int head, ImageType type, ImagesFound& found) {
  found = {};
  switch (type) {
    case ImageType::Bank:
      return FindBankImages(link, head, found);
    case ImageType::Memory:
      return FindMemoryImages(link, head, found);
    case ImageType::Shoot:
      return FindShootImages(link, head, found);
    case ImageType::Ng:
      return FindNgImages(link, found);
  }
  return ImageResult::kNoGoodReply;
}

}  // namespace

// The phase is short and its reads depend on each other (the shoot status names the bank
// read next), so when a stray reply may have answered any of them it is asked again whole.
ImageResult FindImages(link::Link& link, int head, ImageType type, ImagesFound& found) {
  constexpr int kWholePhase = 1;
  link::StepTracker steps(link, kWholePhase, link::kMaxReplyWords);
  for (int step = 0; step < kWholePhase;) {
    steps.Begin(step);
    const ImageResult phase = FindImagesOnce(link, head, type, found);
    if (phase != ImageResult::kDone) return phase;
    const std::optional<int> next = steps.Next(step + 1);
    if (!next) return ImageResult::kNoGoodReply;
    step = *next;
  }
  return ImageResult::kDone;
}

}  // namespace kyr::images
