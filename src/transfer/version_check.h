#pragma once
// Whether a settings image may be written into a head, judged by the head's version word
// (low byte model code, high byte settings version), and its conversion to the head's
// settings version.
#include <cstdint>

#include "settings/settings_image.h"
#include "transfer/services.h"

namespace kyr::transfer {

// kDone when the image may be written (converted in place when the versions differ), or
// the refusal: unknown head type, image of another model, head of an unknown settings
// version, an image version that cannot be converted. A refused image is left unchanged.
SettingsResult CheckAndConvert(std::uint16_t head_word, settings::SettingsImage& image);

}  // namespace kyr::transfer
