#pragma once
// Whether a settings image may be written into a head, judged by the head's version word
// (low byte model code, high byte settings version), and its conversion to the head's
// settings version.
#include <cstdint>

#include "settings/settings_image.h"

namespace kyr::transfer {

// 0 when the image may be written (converted in place when the versions differ), or the
// tool message that refuses it: 151 unknown head type, 166 file of another model, 165
// head of an unknown settings version, 712 a file version that cannot be converted. A
// refused image is left unchanged.
int CheckAndConvert(std::uint16_t head_word, settings::SettingsImage& image);

}  // namespace kyr::transfer
