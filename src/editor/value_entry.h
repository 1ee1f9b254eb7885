#pragma once
// Typed numbers: how an edit box's text becomes a stored field value, and how a stored
// value is shown. Pure functions on text, independent of any window.
//
// Reading follows the C library's strtoul / strtol / strtod rules (leading white space,
// one optional sign, digits up to the first other character, no digits giving 0), but is
// independent of the process locale, so a decimal point is always ".". The stored value
// of a field runs from 0 to its max; the user enters `stored - offset`.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kyr::editor {

// How a number row converts between text and stored value.
enum class NumberFormat {
  kInteger,  // "%d" of stored - offset
  kTenths,   // one decimal: stored 855 is "85.5"
  kAngle,    // 1/2048 turn shown in degrees with two decimals: stored 255 is "44.82"
};

// Unit of a threshold (the window's unit selector): percent in tenths, or a pixel count
// in ones, tens or hundreds.
enum ThresholdUnit : int {
  kUnitTenthPercent = 0,
  kUnitPixels = 1,
  kUnitTensOfPixels = 2,
  kUnitHundredsOfPixels = 3,
};

// The value a field's bits must take for a typed entry, or nullopt when the entry lies
// outside 0..max after the offset is added (the range message follows).
//
// Integer: the text read as strtoul reads a base-10 number; stored = entry + offset.
// Tenths, unit 0: the text read as strtod reads a number; stored = that x 10 truncated
//   toward zero, plus offset (12.34 -> 123, -0.05 -> 0).
// Tenths, units 1-3: the text read as strtol reads a base-10 number, then divided by 1,
//   10 or 100 with truncation; a negative entry is refused.
// Angle: the text read as strtod; counts = number x 6400 / 1125 + 0.5 truncated toward
//   zero, i.e. the nearest count for non-negative entries (10 -> 57, 44.82 -> 255).
//
// Entries are compared with the range exactly: an entry that only a 16-bit wrap-around
// would bring into range (65536 for a 0..4095 field) is refused, not stored as 0.
std::optional<std::uint16_t> StoredFromInteger(std::string_view text, int max, int offset);
std::optional<std::uint16_t> StoredFromTenths(std::string_view text, int max, int offset, int unit);
std::optional<std::uint16_t> StoredFromAngle(std::string_view text, int max, int offset);

// Shown texts of a stored value.
std::string IntegerText(unsigned stored, int offset);  // "%d" of stored - offset
std::string TenthsText(unsigned stored);               // "%d.%1d": 855 -> "85.5"
std::string AngleText(unsigned stored);                // "%d.%02d" degrees: 1 -> "0.17"
// A threshold under its unit: 0 " 50.0%" (width 5 and a percent sign), 1 "500",
// 2 "5000", 3 "50000".
std::string ThresholdText(unsigned stored, int unit);

// The range part of the range message, from lo = -offset and hi = max - offset, with a
// leading blank, a full-width tilde between blanks and a closing parenthesis:
// " 0 ～ 4095)", " -3 ～ 4)", " 0.0 ～ 100.0)", " 0.00 ～ 44.82)".
std::string RangeText(NumberFormat format, int max, int offset);

// The readers below are the building blocks, exposed for testing.

// strtoul in base 10 with a 32-bit unsigned long: a leading '-' negates modulo 2^32, a
// magnitude beyond 32 bits gives 4294967295.
std::uint32_t ReadLikeStrtoul(std::string_view text);
// strtod: decimal or hexadecimal numbers, "inf", "nan"; no number gives 0.
double ReadLikeStrtod(std::string_view text);

}  // namespace kyr::editor
