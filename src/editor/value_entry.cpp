#include "editor/value_entry.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace kyr::editor {
namespace {

// White space as the C locale's isspace sees it.
bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsHexDigit(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Skips leading white space and one sign; returns whether the sign was '-'.
bool TakeSign(std::string_view& text) {
  std::size_t pos = 0;
  while (pos < text.size() && IsCSpace(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  text.remove_prefix(pos);
  return negative;
}

// A base-10 entry as sign and magnitude; the magnitude saturates far above any range so
// that huge entries stay huge without overflowing.
struct DecimalEntry {
  bool negative = false;
  std::uint64_t magnitude = 0;
};

constexpr std::uint64_t kSaturated = std::uint64_t{1} << 40;

DecimalEntry ReadDecimal(std::string_view text) {
  DecimalEntry entry;
  const bool negative = TakeSign(text);
  std::size_t pos = 0;
  while (pos < text.size() && IsDigit(text[pos])) {
    const auto digit = static_cast<std::uint64_t>(text[pos] - '0');
    entry.magnitude = std::min(kSaturated, entry.magnitude * 10 + digit);
    ++pos;
  }
  // strtoul without digits converts nothing, so a lone sign gives 0 as well.
  entry.negative = negative && pos > 0;
  return entry;
}

std::int64_t SignedValue(const DecimalEntry& entry) {
  const auto magnitude = static_cast<std::int64_t>(entry.magnitude);
  return entry.negative ? -magnitude : magnitude;
}

std::optional<std::uint16_t> InRange(std::int64_t stored, int max) {
  if (stored < 0 || stored > max) return std::nullopt;
  return static_cast<std::uint16_t>(stored);
}

// The double truncated toward zero, as long as it fits a 32-bit integer; anything else
// (infinities, not-a-number, huge values) has no stored value.
std::optional<std::int64_t> TruncatedTo32Bits(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  const double truncated = std::trunc(value);
  if (truncated < -2147483648.0 || truncated > 2147483647.0) return std::nullopt;
  return static_cast<std::int64_t>(truncated);
}

// True when an out-of-range number text is tiny (negative exponent) rather than huge.
bool HasNegativeExponent(std::string_view text) {
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    const char c = text[i];
    if ((c == 'e' || c == 'E' || c == 'p' || c == 'P') && text[i + 1] == '-') return true;
  }
  return false;
}

}  // namespace

std::uint32_t ReadLikeStrtoul(std::string_view text) {
  const DecimalEntry entry = ReadDecimal(text);
  if (entry.magnitude > std::numeric_limits<std::uint32_t>::max()) {
    return std::numeric_limits<std::uint32_t>::max();
  }
  const auto magnitude = static_cast<std::uint32_t>(entry.magnitude);
  return entry.negative ? static_cast<std::uint32_t>(0u - magnitude) : magnitude;
}

double ReadLikeStrtod(std::string_view text) {
  const bool negative = TakeSign(text);
  const char* first = text.data();
  const char* last = text.data() + text.size();
  auto format = std::chars_format::general;
  const bool hex_prefix = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  if (hex_prefix &&
      (IsHexDigit(text[2]) || (text[2] == '.' && text.size() > 3 && IsHexDigit(text[3])))) {
    first += 2;
    format = std::chars_format::hex;
  }
  double value = 0.0;
  const auto [end, error] = std::from_chars(first, last, value, format);
  if (error == std::errc::invalid_argument) return 0.0;
  if (error == std::errc::result_out_of_range) {
    const std::string_view number(first, static_cast<std::size_t>(end - first));
    value = HasNegativeExponent(number) ? 0.0 : std::numeric_limits<double>::infinity();
  }
  return negative ? -value : value;
}

std::optional<std::uint16_t> StoredFromInteger(std::string_view text, int max, int offset) {
  return InRange(SignedValue(ReadDecimal(text)) + offset, max);
}

std::optional<std::uint16_t> StoredFromTenths(std::string_view text, int max, int offset,
                                              int unit) {
  if (unit == kUnitTenthPercent) {
    const auto tenths = TruncatedTo32Bits(ReadLikeStrtod(text) * 10.0);
    if (!tenths) return std::nullopt;
    return InRange(*tenths + offset, max);
  }
  // A pixel count in ones, tens or hundreds; strtol clamps to the 32-bit range.
  const DecimalEntry entry = ReadDecimal(text);
  if (entry.negative) return std::nullopt;
  std::int64_t count = std::min<std::int64_t>(SignedValue(entry), 2147483647);
  for (int i = 1; i < unit; ++i) count /= 10;
  return InRange(count + offset, max);
}

std::optional<std::uint16_t> StoredFromAngle(std::string_view text, int max, int offset) {
  // Multiply first, then divide, then add the half: the same double arithmetic everywhere.
  const auto counts = TruncatedTo32Bits(ReadLikeStrtod(text) * 6400.0 / 1125.0 + 0.5);
  if (!counts) return std::nullopt;
  return InRange(*counts + offset, max);
}

std::string IntegerText(unsigned stored, int offset) {
  return std::to_string(static_cast<int>(stored) - offset);
}

std::string TenthsText(unsigned stored) {
  return std::to_string(stored / 10) + "." + std::to_string(stored % 10);
}

std::string AngleText(unsigned stored) {
  const unsigned hundredths = stored * 1125 / 64;
  char text[32];
  std::snprintf(text, sizeof text, "%u.%02u", hundredths / 100, hundredths % 100);
  return text;
}

std::string ThresholdText(unsigned stored, int unit) {
  switch (unit) {
    case kUnitTenthPercent: {
      // "%5.1f%%" of stored / 10, built from integers so that no locale can change the point.
      char text[32];
      std::snprintf(text, sizeof text, "%5s%%", TenthsText(stored).c_str());
      return text;
    }
    case kUnitPixels:
      return std::to_string(stored);
    case kUnitTensOfPixels:
      return std::to_string(stored * 10);
    default:
      return std::to_string(stored * 100);
  }
}

std::string RangeText(NumberFormat format, int max, int offset) {
  const int lo = -offset;
  const int hi = max - offset;
  char text[96];
  switch (format) {
    case NumberFormat::kInteger:
      std::snprintf(text, sizeof text, " %d \uFF5E %d)", lo, hi);
      break;
    case NumberFormat::kTenths:
      std::snprintf(text, sizeof text, " %d.%01d \uFF5E %d.%01d)", lo / 10, lo % 10, hi / 10,
                    hi % 10);
      break;
    case NumberFormat::kAngle: {
      const int lo_h = lo * 1125 / 64;
      const int hi_h = hi * 1125 / 64;
      std::snprintf(text, sizeof text, " %d.%02d \uFF5E %d.%02d)", lo_h / 100, lo_h % 100,
                    hi_h / 100, hi_h % 100);
      break;
    }
  }
  return text;
}

}  // namespace kyr::editor
