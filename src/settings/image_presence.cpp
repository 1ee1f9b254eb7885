#include "settings/image_presence.h"

#include "settings/field_table.h"

namespace kyr::settings {
namespace {

// The fields keep their place in every settings version.
const Field& PresenceField(FieldId id) {
  return *FindField(id, kLatestVersion);
}

unsigned FieldBits(FieldId id, std::uint16_t word) {
  const Field& field = PresenceField(id);
  return (word >> field.shift) & field.mask;
}

std::uint16_t WordOf(const SettingsImage& image, FieldId id, int bank = 0) {
  return image[static_cast<std::size_t>(FieldWord(PresenceField(id), bank, 0))];
}

}  // namespace

bool BankImageRegistered(std::uint16_t word) {
  return FieldBits(FieldId::kImageRegistration, word) == 0;
}

std::uint64_t MemoryImagesPresent(std::uint16_t common_word10, std::uint16_t common_word11) {
  const unsigned absent_low = FieldBits(FieldId::kCommonWord10, common_word10);
  const unsigned absent_high = FieldBits(FieldId::kCommonWord11, common_word11);
  return ~(static_cast<std::uint64_t>(absent_high) << 16 | absent_low) & 0xFFFFFFFFu;
}

std::uint64_t RegisteredBankImages(const SettingsImage& image) {
  std::uint64_t mask = 0;
  for (int bank = 0; bank < kBankCount; ++bank) {
    if (BankImageRegistered(WordOf(image, FieldId::kImageRegistration, bank))) mask |= 1ULL << bank;
  }
  return mask;
}

std::uint64_t MemoryImagesPresent(const SettingsImage& image) {
  return MemoryImagesPresent(WordOf(image, FieldId::kCommonWord10),
                             WordOf(image, FieldId::kCommonWord11));
}

}  // namespace kyr::settings
