#include "headsim/head_memory.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "headsim/glyphs.h"

namespace kyr::headsim {
namespace {

// Compresses a colour sum of 0 to 1020 into a sample of 0 to 255, finer for dark values.
int CompressSum(int v) {
  if (v < 256) return v >> 1;
  if (v < 512) return (v >> 2) + 64;
  return (v >> 3) + 128;
}

struct Rgb {
  int blue, green, red;
};

Rgb BackgroundOf(ImageKind kind, int x, int y) {
  switch (kind) {
    case ImageKind::kBank:
      return {x, y, 60};
    case ImageKind::kMemory:
      return {60, x, y};
    case ImageKind::kShoot:
      return {y, 60, x};
    case ImageKind::kNg:
      return {40, 40, 120 + x / 2};
  }
  return {0, 0, 0};
}

std::string LabelOf(ImageKind kind, int number) {
  const char* prefix = kind == ImageKind::kBank     ? "B"
                       : kind == ImageKind::kMemory ? "M"
                       : kind == ImageKind::kShoot  ? "S"
                                                    : "NG";
  char text[16];
  std::snprintf(text, sizeof text, "%s%02d", prefix, number);
  return text;
}

int IndexOf(ImageKind kind, int number) {
  switch (kind) {
    case ImageKind::kBank:
      return number;
    case ImageKind::kMemory:
      return kBankImages + number;
    case ImageKind::kShoot:
      return kBankImages + kMemoryImages + number;
    case ImageKind::kNg:
      return kBankImages + kMemoryImages + kShootImages + number;
  }
  return 0;
}

}  // namespace

std::uint16_t CellFromColour(int blue, int green, int red, bool odd_row) {
  const int s0 = blue + 3 * green, s1 = blue + 2 * red + green;
  const int s2 = 2 * blue + red + green, s3 = red + 3 * green;
  const int high = CompressSum(odd_row ? s2 : s0);
  const int low = CompressSum(odd_row ? s3 : s1);
  return static_cast<std::uint16_t>((high << 8) | low);
}

HeadMemory::HeadMemory(int head_index) : head_index_(head_index) {}

std::uint16_t HeadMemory::SettingsWord(std::uint32_t byte_address) const {
  const std::uint32_t word = byte_address / 2;
  return word < kSettingsWords ? settings[word] : 0;
}

void HeadMemory::SetSettingsWord(std::uint32_t byte_address, std::uint16_t value) {
  const std::uint32_t word = byte_address / 2;
  if (word < kSettingsWords) settings[word] = value;  // beyond the settings: ignored
}

std::unique_ptr<RawImage>& HeadMemory::Slot(ImageKind kind, int number) const {
  switch (kind) {
    case ImageKind::kBank:
      return bank_[number];
    case ImageKind::kMemory:
      return memory_[number];
    case ImageKind::kShoot:
      return shoot_[number];
    case ImageKind::kNg:
      break;
  }
  return ng_[number];
}

const RawImage& HeadMemory::Image(ImageKind kind, int number) const {
  std::unique_ptr<RawImage>& slot = Slot(kind, number);
  if (!slot) {
    slot = std::make_unique<RawImage>();
    GeneratePicture(kind, number, *slot);
  }
  return *slot;
}

bool HeadMemory::IsImageStored(ImageKind kind, int number) const {
  return stored_[IndexOf(kind, number)];
}

std::uint16_t HeadMemory::ImageWord(const ImageWordRef& ref) const {
  return ref.valid() ? Image(ref.kind, ref.number)[ref.word] : 0;
}

void HeadMemory::WriteImageWord(const ImageWordRef& ref, std::uint16_t value) {
  if (!ref.valid()) return;
  Image(ref.kind, ref.number);  // make sure the slot exists
  (*Slot(ref.kind, ref.number))[ref.word] = value;
  MarkStored(ref.kind, ref.number);
}

void HeadMemory::RegisterImage(ImageKind kind, int number) {
  Image(kind, number);  // the generated picture becomes the stored one
  MarkStored(kind, number);
}

void HeadMemory::MarkStored(ImageKind kind, int number) {
  stored_[IndexOf(kind, number)] = true;
  if (kind == ImageKind::kBank) {
    settings[kBankWords * number + kBankRegistrationWord] &= 0x7FFF;
  } else if (kind == ImageKind::kMemory) {
    settings[kMemoryPresenceWord + number / 16] &=
        static_cast<std::uint16_t>(~(1u << (number % 16)));
  }
}

void HeadMemory::GeneratePicture(ImageKind kind, int number, RawImage& out) const {
  std::array<bool, kImageWords> ink{};
  auto plot = [&ink](int x, int y) {
    if (x >= 0 && x < 256 && y >= 0 && y < 256) ink[y * 256 + x] = true;
  };
  const std::string label = LabelOf(kind, number);
  const int scale = label.size() > 3 ? 8 : 10;
  const int width = static_cast<int>(label.size()) * kGlyphAdvance * scale;
  DrawText(label, (256 - width) / 2, 128 - kGlyphHeight * scale / 2, scale, plot);
  DrawText("HEAD" + std::to_string(head_index_ + 1), 8, 8, 3, plot);
  for (int i = 0; i < 256; ++i) {  // a frame around the picture
    plot(i, 0), plot(i, 255), plot(0, i), plot(255, i);
  }
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      const Rgb c = ink[y * 256 + x] ? Rgb{255, 255, 255} : BackgroundOf(kind, x, y);
      out[y * 256 + x] = CellFromColour(c.blue, c.green, c.red, (y & 1) != 0);
    }
  }
}

void HeadMemory::SetNgImages(int ring_position, int count) {
  ng_table_.fill(0);
  ring_position = std::clamp(ring_position, 0, kNgRecords - 1);
  count = std::clamp(count, 0, kNgRecords);
  ng_table_[6] = static_cast<std::uint16_t>(ring_position);
  for (int age = 0; age < count; ++age) {
    const int record = ((ring_position - age - 1) % kNgRecords + kNgRecords) % kNgRecords;
    const int base = 7 + 4 * record;
    const int minute = (age * 7) % 60, second = (age * 13) % 60;
    ng_table_[base + 0] = static_cast<std::uint16_t>((minute << 8) | second);  // R0
    ng_table_[base + 1] = static_cast<std::uint16_t>((7 << 8) | 10);           // R1: day, hour
    ng_table_[base + 2] = static_cast<std::uint16_t>((26 << 8) | 12);          // R2: year, month
    ng_table_[base + 3] = static_cast<std::uint16_t>(0x0100 | (record + 1));   // R3
  }
}

std::uint16_t HeadMemory::NgTableWord(int index) const {
  return index >= 0 && index < kNgTableWords ? ng_table_[index] : 0;
}

int HeadMemory::NgRecordOfNumber(int ng_number) const {
  return ((NgRingPosition() - ng_number - 1) % kNgRecords + kNgRecords) % kNgRecords;
}

void HeadMemory::NoteImageWrite() {
  write_seen_ = true;
  polls_since_write_ = 0;
}

std::array<std::uint16_t, 5> HeadMemory::NextPollAnswer() {
  std::uint16_t state = 0;
  if (write_seen_ && polls_since_write_ < poll_busy_answers.size()) {
    state = poll_busy_answers[polls_since_write_++];
  }
  return {state, 0, 0, 0, 0};
}

}  // namespace kyr::headsim
