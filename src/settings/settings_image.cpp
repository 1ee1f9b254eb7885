#include "settings/settings_image.h"

namespace kyr::settings {

int ModelCode(const SettingsImage& image) {
  return ReadField(image, CommonWord(0), 0, 0xFF);
}

int SettingsVersion(const SettingsImage& image) {
  return ReadField(image, CommonWord(0), 8, 0xFF);
}

void SetModelAndVersion(SettingsImage& image, int model, int version) {
  image[CommonWord(0)] = static_cast<std::uint16_t>(((version & 0xFF) << 8) | (model & 0xFF));
}

}  // namespace kyr::settings
