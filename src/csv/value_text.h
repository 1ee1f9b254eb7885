#pragma once
// Value texts of the CSV listing: choice items, thresholds in the window's unit, tenths of a
// percent, angles and the bank comment. Each works on stored values as the image holds them.
#include <cstdint>
#include <string>
#include <string_view>

#include "settings/settings_image.h"

namespace kyr::csv {

// Longest item text taken from a choice list, in bytes.
constexpr std::size_t kMaxItemBytes = 90;

// Item `index` of a choice list whose items each end with ';'. The item runs to the next ';'
// or the end of the text; an index at or beyond the number of items gives an empty text.
// An item is cut to kMaxItemBytes, never inside a UTF-8 character.
std::string_view ChoiceItem(unsigned index, std::string_view list);

// A threshold t (0 to 1000, up to 1023 as stored) in the unit of the window's unit selector:
// 0 percent ("%5.1f%%" of t / 10), 1 pixels, 2 tens of pixels, 3 hundreds of pixels.
std::string FormatThreshold(unsigned unit, unsigned t);

// Tenths of a percent: 805 -> "80.5%".
std::string FormatTenthsPercent(unsigned tenths);

// An angle in 1/2048 turn, shown in degrees with two decimals: 100 -> "17.57".
std::string FormatAngle(unsigned stored);

// The bank comment from bank words 18 to 27 of `bank`: low byte first, two blanks for the
// first two characters when bank word 18 is 0, ending at the first 0 byte or after 20
// characters.
std::string BankCommentText(const settings::SettingsImage& image, int bank);

}  // namespace kyr::csv
