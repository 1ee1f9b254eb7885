#pragma once
// Editor string resources used by the window model and the window itself (the labels and
// choice lists of the fields are named by the settings field table).
#include <array>

#include "settings/message_ids.h"

namespace kyr::editor {

// Texts of the window's own controls.
inline constexpr std::array kTextPageButtons = {
    EditorText::kPageCameraLighting, EditorText::kPageInput, EditorText::kPageOutputOther,
    EditorText::kPageSearchWindow, EditorText::kPageWindowColor};

}  // namespace kyr::editor
