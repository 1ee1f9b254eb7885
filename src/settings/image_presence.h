#pragma once
// Which bank and memory images a head holds, as its settings say: a bank has an image when
// its image registration field is 0, and memory image k is there when bit k of common words
// 10 and 11 (word 10 the low half) is clear. Read through the field table, from a whole
// image or from the words as a read of the head's settings memory returns them.
#include <cstdint>

#include "settings/settings_image.h"

namespace kyr::settings {

// `word`: the bank word that holds the bank's image registration field.
bool BankImageRegistered(std::uint16_t word);
// Bit k set: memory image k is present.
std::uint64_t MemoryImagesPresent(std::uint16_t common_word10, std::uint16_t common_word11);

// Bit b set: bank b has a registered image.
std::uint64_t RegisteredBankImages(const SettingsImage& image);
std::uint64_t MemoryImagesPresent(const SettingsImage& image);

}  // namespace kyr::settings
