// The communication tool's settings file reader on arbitrary text: the line count it gives
// and the first incomplete line must agree with each other, and a text it calls complete
// must hold no missing field.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "settings/settings_file.h"
#include "settings/settings_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  static kyr::settings::SettingsImage image;
  const int lines = kyr::settings::ParseToolSettingsText(text, image);
  if (lines < 0 || lines > kyr::settings::kFileLines) std::abort();
  const int first_incomplete = kyr::settings::FirstIncompleteToolLine(text);
  if (first_incomplete < -1 || first_incomplete >= kyr::settings::kFileLines) std::abort();
  // Every line is there and complete only when all 512 lines were read.
  if (first_incomplete == -1 && lines != kyr::settings::kFileLines) std::abort();
  if (lines < kyr::settings::kFileLines && first_incomplete > lines) std::abort();
  return 0;
}
