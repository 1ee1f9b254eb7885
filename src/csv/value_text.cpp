#include "csv/value_text.h"

#include <charconv>

#include "strings/strings.h"

namespace kyr::csv {
namespace {

void AppendNumber(std::string& out, long value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
}

}  // namespace

std::string_view ChoiceItem(unsigned index, std::string_view list) {
  std::size_t start = 0;
  for (unsigned skipped = 0; skipped < index; ++skipped) {
    const std::size_t separator = list.find(';', start);
    if (separator == std::string_view::npos) return {};
    start = separator + 1;
  }
  std::string_view item = list.substr(start);
  item = item.substr(0, item.find(';'));
  return Utf8Prefix(item, kMaxItemBytes);
}

std::string FormatThreshold(unsigned unit, unsigned t) {
  std::string out;
  switch (unit) {
    case 0: {
      // "%5.1f%%" of t / 10, done in integers so that no tenth is ever rounded.
      std::string whole;
      AppendNumber(whole, t / 10);
      if (whole.size() < 3) out.assign(3 - whole.size(), ' ');
      out += whole;
      out += '.';
      out += static_cast<char>('0' + t % 10);
      out += '%';
      return out;
    }
    case 1:
      AppendNumber(out, t);
      return out;
    case 2:
      AppendNumber(out, 10L * t);
      return out;
    default:
      AppendNumber(out, 100L * t);
      return out;
  }
}

std::string FormatTenthsPercent(unsigned tenths) {
  std::string out;
  AppendNumber(out, tenths / 10);
  out += '.';
  out += static_cast<char>('0' + tenths % 10);
  out += '%';
  return out;
}

std::string FormatAngle(unsigned stored) {
  const unsigned hundredths = stored * 1125 / 64;
  std::string out;
  AppendNumber(out, hundredths / 100);
  out += '.';
  out += static_cast<char>('0' + hundredths % 100 / 10);
  out += static_cast<char>('0' + hundredths % 10);
  return out;
}

std::string BankCommentText(const settings::SettingsImage& image, int bank) {
  using settings::BankWord;
  std::string text;
  for (int k = 0; k < settings::kCommentWordCount; ++k) {
    const std::uint16_t word =
        image[static_cast<std::size_t>(BankWord(bank, settings::kCommentFirstWord + k))];
    char pair[2] = {static_cast<char>(word & 0xFF), static_cast<char>(word >> 8)};
    if (k == 0 && word == 0) pair[0] = pair[1] = ' ';
    for (char c : pair) {
      if (c == '\0') return text;
      text += c;
    }
  }
  return text;
}

}  // namespace kyr::csv
