#pragma once
// Helpers shared by the settings tests.
#include <random>

#include "common/temp_folder.h"
#include "settings/settings_image.h"

namespace kyr::settings::testing {

using test_common::ReadAll;
using test_common::TempFolder;
using test_common::WriteAll;

inline SettingsImage RandomImage(unsigned seed) {
  std::mt19937 random(seed);
  SettingsImage image{};
  for (auto& word : image) word = static_cast<std::uint16_t>(random());
  return image;
}

}  // namespace kyr::settings::testing
