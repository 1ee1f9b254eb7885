#pragma once
// Whether a settings image may be written into a head, judged by the head's version word
// (low byte model code, high byte settings version), and its conversion to the head's
// settings version.
#include <cstdint>

#include "settings/settings_image.h"
#include "strings/text_ids.h"

namespace kyr::transfer {

// ToolText{} when the image may be written (converted in place when the versions differ),
// or the message that refuses it: unknown head type, file of another model, head of an
// unknown settings version, a file version that cannot be converted. A
// refused image is left unchanged.
ToolText CheckAndConvert(std::uint16_t head_word, settings::SettingsImage& image);

}  // namespace kyr::transfer
