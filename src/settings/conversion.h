#pragma once
// What the editor does to an image after reading it (comment texts, model check, version
// upgrade), and the version conversions in both directions that the communication tool
// applies before writing a file into a head of another settings version.
#include <functional>

#include "settings/settings_image.h"

namespace kyr::settings {

bool IsKyrTc(const SettingsImage& image);

// Version 1 (or 0) to 2: version word 0x0201; bit 8 of every window word 9 cleared.
void ConvertVersion1To2(SettingsImage& image);
// Version 2 to 3: moves the fields whose place or width changed.
void ConvertVersion2To3(SettingsImage& image);
// Version 3 to 2 and 2 to 1, for heads of an older settings version.
void ConvertVersion3To2(SettingsImage& image);
void ConvertVersion2To1(SettingsImage& image);

// Outcome of the editor's continuation after a complete read.
enum class AfterRead {
  kForeignModel,  // not a KYR-TC file: kNotKyrTc; the image and texts now hold initial values
  kLatest,        // version 3 or above, left as read
  kKeptVersion2,  // an older file whose user declined the conversion (now version 2)
  kConverted,     // converted to version 3
};

// Rebuilds the comment texts, resets everything for a foreign model, converts version 0 or
// 1 to 2 silently, and converts 2 to 3 when `confirm_latest` (kConvertToLatest, asked only for
// versions 2 and below) answers true.
AfterRead ConvertAfterRead(SettingsImage& image, CommentTexts& comments,
                           const std::function<bool()>& confirm_latest);

// The tool's conversion of a KYR-TC image to a head's settings version: down 3 to 2 (and 2
// to 1), or up 1 to 2 (and 2 to 3), as the pair of versions needs. Returns false and
// changes nothing when either version is not 1, 2 or 3.
bool ConvertToHeadVersion(SettingsImage& image, int head_version);

}  // namespace kyr::settings
