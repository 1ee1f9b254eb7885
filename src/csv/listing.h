#pragma once
// The CSV listing of a settings image: the common settings, one section per registered bank
// and one per used window, each line a label and its value as text. Labels, choice items and
// places come from the field table and the editor's string tables.
#include <string>

#include "settings/settings_image.h"
#include "strings/strings.h"

namespace kyr::csv {

// String resources of the listing besides the field labels and lists.

// The whole listing in `lang`, every line ended by CR LF. The fields listed follow the
// image's settings version and each window's inspection function; nothing is converted.
// "Window Calc.", "CoordLimit X±" and "CoordLimit Y±" are window fields listed in the bank
// section: they show the bank's window 1.
std::string FormatCsvListing(const settings::SettingsImage& image, Lang lang);

}  // namespace kyr::csv
