#pragma once
// Field-by-field comparison of two settings images, with the labels and value texts a person
// knows from the CSV listing.
//
// The field table drives it: every setting of the images' settings version is compared at
// each of its places (common, each bank, each window of each bank). Settings that share the
// same bits (the thresholds named by the inspection function, the window result combination,
// the unit selector and window calculation) are compared once, under the label that fits the
// window. Bits no setting covers are compared word by word; the bank comment as text. When
// the versions differ, the older image is converted to the newer version first.
#include <string>
#include <vector>

#include "settings/field_table.h"
#include "settings/settings_image.h"
#include "strings/strings.h"

namespace kyr::compare {

// Where a difference lies. kWord: bits that no setting covers, shown by image word.
enum class Where : std::uint8_t { kCommon, kBank, kWindow, kWord };

struct Difference {
  Where where = Where::kWord;
  int bank = 0;    // 0 to 31 (bank and window places)
  int window = 0;  // 0 to 15 (window places)
  int word = 0;    // the image word of the setting (its first word for the comment)
  settings::FieldId field = settings::FieldId::kCount;  // kCount for a word difference
  std::string label;                                    // empty for a word difference
  std::string a;                                        // the values as text
  std::string b;
};

// Which side, if any, was converted to the other's settings version before comparing.
enum class Converted : std::uint8_t { kNone, kA, kB };

struct Comparison {
  int version_a = 0;  // settings versions as given
  int version_b = 0;
  Converted converted = Converted::kNone;
  std::vector<Difference> differences;  // common first, then bank by bank, then the rest
  bool Equal() const { return differences.empty(); }
};

// Compares `a` with `b` in `lang` (labels and list items). Images of the KYR-TC with
// settings versions 1 to 3 are converted; others are compared as they stand, by the fields
// of the first image's version.
Comparison CompareSettings(const settings::SettingsImage& a, const settings::SettingsImage& b,
                           Lang lang);

// "Bank 3, Window 2" and the like.
std::string PlaceText(const Difference& difference, Lang lang);
// One line, without a line end: place, label, value in A and in B.
std::string DifferenceLine(const Difference& difference, Lang lang);
// The note that one side was converted, naming it by `name_a` or `name_b`; empty when none.
std::string ConversionNote(const Comparison& comparison, const std::string& name_a,
                           const std::string& name_b, Lang lang);
// The whole report: the conversion note, one line per difference, and the summary line;
// every line ends with "\n".
std::string FormatReport(const Comparison& comparison, const std::string& name_a,
                         const std::string& name_b, Lang lang);

// String resources of the comparison (editor table).

}  // namespace kyr::compare
