#include "headsim/initial_settings.h"

#include "settings/initial_values.h"
#include "settings/settings_file.h"

namespace kyr::headsim {

void InitialSettings(std::uint8_t model, std::uint8_t version, SettingsWords& words) {
  static const settings::SettingsImage initial = [] {
    // Through the file text, so that the bank comments stand in their words exactly as
    // in a freshly initialised settings file.
    settings::SettingsImage image{};
    settings::CommentTexts comments{};
    settings::InitializeSettings(image, comments);
    settings::SettingsImage parsed{};
    settings::ParseSettingsText(settings::FormatSettingsText(image, comments), parsed);
    return parsed;
  }();
  words = initial;
  words[kVersionWord] = static_cast<std::uint16_t>((version << 8) | model);
}

bool LoadSettingsFile(const std::string& path, SettingsWords& words, std::string& error) {
  switch (settings::ReadSettingsFile(path, words)) {
    case settings::kReadComplete:
      return true;
    case settings::kReadOpenFailed:
      error = "cannot open the settings file " + path;
      break;
    default:
      error = "the settings file " + path + " ends before its 512 lines";
      break;
  }
  return false;
}

}  // namespace kyr::headsim
