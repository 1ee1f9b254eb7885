#pragma once
// Initial values of the settings image and of the bank comment texts.
#include "settings/settings_image.h"

namespace kyr::settings {

// Writes the initial bank settings (bank words 0-17 and 28-31) and all 16 window blocks of
// `bank`, and sets the bank's comment text to two blanks and 18 "-". The comment words
// 18-27 of the image are left as they are.
void ResetBank(SettingsImage& image, CommentTexts& comments, int bank);

// Writes common words 0-40 (model code 1, settings version 3 and the initial settings).
void ResetCommon(SettingsImage& image);

// The editor's state at start: every bank reset, then the common block.
void InitializeSettings(SettingsImage& image, CommentTexts& comments);

// The comment text a bank reset leaves.
CommentText InitialCommentText();

}  // namespace kyr::settings
