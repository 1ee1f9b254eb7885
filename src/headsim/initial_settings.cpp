#include "headsim/initial_settings.h"

#include "settings/initial_values.h"
#include "settings/settings_file.h"

namespace kyr::headsim {

void InitialSettings(std::uint8_t model, std::uint8_t version, SettingsWords& words) {
  static const settings::SettingsImage initial = [] {
    // The bank comments stand in their words as in a freshly initialised settings file.
    settings::SettingsImage image{};
    settings::CommentTexts comments{};
    settings::InitializeSettings(image, comments);
    return settings::WithComments(image, comments);
  }();
  words = initial;
  words[kVersionWord] = static_cast<std::uint16_t>((version << 8) | model);
}

bool LoadSettingsFile(const std::string& path, SettingsWords& words, std::string& error) {
  switch (settings::ReadSettingsFile(path, words)) {
    case settings::ReadResult::kComplete:
      return true;
    case settings::ReadResult::kOpenFailed:
      error = "cannot open the settings file " + path;
      break;
    default:
      error = "the settings file " + path + " ends before its 512 lines";
      break;
  }
  return false;
}

}  // namespace kyr::headsim
