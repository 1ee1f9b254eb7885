#pragma once
// Head memory and image files with different words everywhere, the same for the same seed:
// a word that lands in the wrong place, or not at all, shows.
#include <cstdint>
#include <random>

#include "common/temp_folder.h"
#include "headsim/head_memory.h"
#include "settings/settings_image.h"

namespace kyr::test_common {

// Random words, model code and settings version included.
inline settings::SettingsImage RandomSettings(unsigned seed) {
  std::mt19937 random(seed);
  settings::SettingsImage image{};
  for (auto& word : image) word = static_cast<std::uint16_t>(random());
  return image;
}

// Random words with `version_word` (model code low, settings version high) as the common
// block's first word; 0x0301: a model 1 head with version 3 settings.
inline settings::SettingsImage PatternSettings(unsigned seed, std::uint16_t version_word = 0x0301) {
  settings::SettingsImage image = RandomSettings(seed);
  image[settings::CommonWord(0)] = version_word;
  return image;
}

// A picture whose word n is `seed` + n.
inline headsim::RawImage PatternRaw(std::uint16_t seed) {
  headsim::RawImage image{};
  for (std::uint32_t n = 0; n < image.size(); ++n) image[n] = static_cast<std::uint16_t>(seed + n);
  return image;
}

// The .kimg bytes of a picture: its words, low byte first.
inline Bytes FileBytesOf(const headsim::RawImage& image) {
  Bytes bytes;
  bytes.reserve(2 * image.size());
  for (std::uint16_t word : image) {
    bytes.push_back(static_cast<std::uint8_t>(word & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(word >> 8));
  }
  return bytes;
}

// The .kimg file of PatternRaw(seed).
inline Bytes PatternFile(std::uint16_t seed) {
  return FileBytesOf(PatternRaw(seed));
}

}  // namespace kyr::test_common
