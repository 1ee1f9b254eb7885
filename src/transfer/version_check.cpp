#include "transfer/version_check.h"

#include "settings/conversion.h"

namespace kyr::transfer {
namespace {

constexpr int kHighestHeadModel = 3;
constexpr int kHighestVersion = settings::kLatestVersion;

int LowByte(std::uint16_t word) {
  return word & 0xFF;
}
int HighByte(std::uint16_t word) {
  return word >> 8;
}

}  // namespace

SettingsResult CheckAndConvert(std::uint16_t head_word, settings::SettingsImage& image) {
  const std::uint16_t file_word = image[settings::CommonWord(0)];
  const int head_model = LowByte(head_word);
  if (head_model == 0 || head_model > kHighestHeadModel) return SettingsResult::kUnknownHeadType;
  if (head_model != LowByte(file_word)) return SettingsResult::kOtherModel;
  // Only the KYR-TC's settings versions are known well enough to convert.
  if (head_model != settings::kModelKyrTc && HighByte(head_word) != HighByte(file_word)) {
    return SettingsResult::kUnknownHeadVersion;
  }
  if (head_word == file_word) return SettingsResult::kDone;
  const int head_version = HighByte(head_word);
  if (head_version == 0 || head_version > kHighestVersion)
    return SettingsResult::kUnknownHeadVersion;
  // A file whose version is not 1 to 3 cannot be converted; writing it unconverted would
  // put settings of an unknown layout into the head.
  if (!settings::ConvertToHeadVersion(image, head_version))
    return SettingsResult::kUnknownFileVersion;
  return SettingsResult::kDone;
}

}  // namespace kyr::transfer
