#include "images/image_names.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string_view>

namespace kyr::images {
namespace {

constexpr std::string_view kExtension = ".kimg";
constexpr std::size_t kNgSuffixLength = 24;

int High(std::uint16_t word) {
  return word >> 8;
}
int Low(std::uint16_t word) {
  return word & 0xFF;
}

// Scans a name backwards over the parts of an NG suffix.
class BackwardScanner {
 public:
  BackwardScanner(const std::string& text, std::size_t end) : text_(text), pos_(end) {}

  bool Char(char wanted) {
    if (pos_ == 0 || text_[pos_ - 1] != wanted) return false;
    --pos_;
    return true;
  }
  bool Digits(std::size_t fewest, std::size_t most) {
    std::size_t count = 0;
    while (count < most && pos_ > count &&
           std::isdigit(static_cast<unsigned char>(text_[pos_ - count - 1]))) {
      ++count;
    }
    if (count < fewest) return false;
    pos_ -= count;
    return true;
  }
  std::size_t Position() const { return pos_; }

 private:
  const std::string& text_;
  std::size_t pos_;
};

// Length of a suffix longer than 24 characters that an earlier NG image left at the end of
// the name (fields of three digits), or 0 when the name does not end in one.
std::size_t LongNgSuffixLength(const std::string& name) {
  if (!name.ends_with(kExtension)) return 0;
  BackwardScanner scan(name, name.size() - kExtension.size());
  const bool matched = scan.Digits(2, 3) && scan.Char('_') && scan.Digits(1, 3) && scan.Char('_') &&
                       scan.Digits(6, 9) && scan.Char('_') && scan.Digits(6, 9) && scan.Char('.');
  const std::size_t length = name.size() - scan.Position();
  return matched && length > kNgSuffixLength ? length : 0;
}

// Length of the NG suffix already ending the name, or 0.
std::size_t ExistingNgSuffixLength(const std::string& name) {
  const std::size_t n = name.size();
  if (n >= kNgSuffixLength && name[n - kNgSuffixLength] == '.' && name[n - 5] == '.') {
    return kNgSuffixLength;
  }
  return LongNgSuffixLength(name);
}

}  // namespace

char LanguageMark(Lang lang) {
  const std::string_view mark = LoadString(ToolText::kLanguageMark, lang);
  return mark.empty() ? 'E' : mark.front();
}

char LanguageMark() {
  return LanguageMark(CurrentLanguage());
}

int NgRecordIndex(int ring_position, int ng_number) {
  const int index = (ring_position - ng_number - 1) % kNgRecordCount;
  return index < 0 ? index + kNgRecordCount : index;
}

std::string NgNameSuffix(const NgRecord& record, char language_mark) {
  const bool japanese = language_mark == 'J';
  const int date1 = japanese ? High(record.r2) : High(record.r1);
  const int date2 = Low(record.r2);
  const int date3 = japanese ? High(record.r1) : High(record.r2);
  char text[64];
  std::snprintf(text, sizeof text, ".%02d%02d%02d_%02d%02d%02d_%d_%02d.kimg", date1, date2, date3,
                Low(record.r1), High(record.r0), Low(record.r0), High(record.r3), Low(record.r3));
  return text;
}

void SetImageNumberInName(std::string& name, int number) {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%02d", std::clamp(number, 0, 99));
  const std::size_t n = name.size();
  if (n >= 8 && name[n - 8] == '.' && name[n - 5] == '.') {
    name[n - 7] = digits[0];
    name[n - 6] = digits[1];
    return;
  }
  // "bank.kimg" -> "bank.NN.kimg": the digits and a dot go before the extension letters.
  name.insert(n - std::min<std::size_t>(n, 4), std::string(digits) + ".");
}

void SetNgSuffixInName(std::string& name, const NgRecord& record, char language_mark) {
  std::size_t keep = name.size();
  if (const std::size_t existing = ExistingNgSuffixLength(name); existing != 0) {
    keep -= existing;
  } else if (name.ends_with(kExtension)) {
    keep -= kExtension.size();
  }
  name.resize(keep);
  name += NgNameSuffix(record, language_mark);
}

void MakeImageFileName(std::string& name, ImageType type, int number, int ring_position,
                       const NgRecords& records, char language_mark) {
  if (type == ImageType::Ng) {
    const auto index = static_cast<std::size_t>(NgRecordIndex(ring_position, number));
    SetNgSuffixInName(name, records[index], language_mark);
  } else {
    SetImageNumberInName(name, number);
  }
}

}  // namespace kyr::images
