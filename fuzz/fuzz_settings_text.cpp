// The editor's settings file reader on arbitrary text. Besides crashes, checks that a text
// that reads completely leaves an image that the writer and the reader reproduce.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "settings/settings_file.h"
#include "settings/settings_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  static kyr::settings::SettingsImage image;
  static kyr::settings::SettingsImage again;
  image.fill(0x5A5A);
  const auto result = kyr::settings::ParseSettingsText(text, image);
  if (result != kyr::settings::ReadResult::kComplete) {
    // An incomplete file must leave the image as it was.
    for (const auto word : image) {
      if (word != 0x5A5A) std::abort();
    }
    return 0;
  }
  const std::string written = kyr::settings::FormatSettingsText(image);
  if (written.size() != kyr::settings::kFileBytes) std::abort();
  if (kyr::settings::ParseSettingsText(written, again) != kyr::settings::ReadResult::kComplete)
    std::abort();
  if (again != image) std::abort();
  return 0;
}
