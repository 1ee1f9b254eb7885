#include "compare/compare.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "csv/value_text.h"
#include "settings/conversion.h"

namespace kyr::compare {
namespace {

using settings::Field;
using settings::FieldId;
using settings::Kind;
using settings::Place;
using settings::SettingsImage;

constexpr std::string_view kModelName = "KYR-TC";

// Bits of each image word that some shown setting covers; the rest is compared by word.
using Coverage = std::array<std::uint16_t, settings::kWordCount>;

bool Compared(const Field& field, int version) {
  return field.kind != Kind::kHidden && settings::ExistsIn(field, version);
}

bool SameBits(const Field& x, const Field& y) {
  return x.place == y.place && x.word == y.word && x.shift == y.shift && x.mask == y.mask;
}

// Calls visit(bank, window) for every place of the field.
template <typename Visit>
void ForEachPlace(const Field& field, Visit visit) {
  if (field.place == Place::kCommon) return visit(0, 0);
  for (int bank = 0; bank < settings::kBankCount; ++bank) {
    if (field.place == Place::kBank) {
      visit(bank, 0);
      continue;
    }
    for (int window = 0; window < settings::kWindowCount; ++window) visit(bank, window);
  }
}

Coverage CoveredBits(int version) {
  Coverage covered{};
  for (const Field& field : settings::AllFields()) {
    if (!Compared(field, version)) continue;
    ForEachPlace(field, [&](int bank, int window) {
      const int first = settings::FieldWord(field, bank, window);
      for (int k = 0; k < field.words; ++k) {
        covered[static_cast<std::size_t>(first + k)] |=
            static_cast<std::uint16_t>(field.mask << field.shift);
      }
    });
  }
  return covered;
}

std::string Hex(std::uint16_t word) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(word));
  return text;
}

std::string_view Text(EditorText id, Lang lang) {
  return LoadString(id, lang);
}

class Comparer {
 public:
  Comparer(const SettingsImage& a, const SettingsImage& b, Lang lang)
      : a_(a),
        b_(b),
        lang_(lang),
        version_(settings::SettingsVersion(a)),
        function_(settings::FindField(FieldId::kInspectFunction, version_)),
        unit_(settings::FindField(FieldId::kUnitSelector, version_)) {}

  std::vector<Difference> Run() {
    const auto fields = settings::AllFields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (IsGroupLeader(fields, i)) CompareGroup(fields, i);
    }
    CompareUncoveredWords();
    std::stable_sort(out_.begin(), out_.end(), [](const Difference& x, const Difference& y) {
      return SortKey(x) < SortKey(y);
    });
    return std::move(out_);
  }

 private:
  // The first compared row of a set of rows that share their bits stands for all of them.
  bool IsGroupLeader(std::span<const Field> fields, std::size_t index) const {
    if (!Compared(fields[index], version_)) return false;
    for (std::size_t i = 0; i < index; ++i) {
      if (Compared(fields[i], version_) && SameBits(fields[i], fields[index])) return false;
    }
    return true;
  }

  void CompareGroup(std::span<const Field> fields, std::size_t leader) {
    const Field& field = fields[leader];
    ForEachPlace(field, [&](int bank, int window) {
      if (!Differs(field, bank, window)) return;
      const Field& shown = RowFor(fields, leader, bank, window);
      Difference difference;
      difference.where = field.place == Place::kCommon ? Where::kCommon
                         : field.place == Place::kBank ? Where::kBank
                                                       : Where::kWindow;
      difference.bank = bank;
      difference.window = window;
      difference.word = settings::FieldWord(field, bank, window);
      difference.field = shown.id;
      difference.label = Label(fields, leader, shown);
      difference.a = ValueText(a_, shown, bank, window);
      difference.b = ValueText(b_, shown, bank, window);
      if (difference.a == difference.b) {
        // Texts that hide the difference (an item past the list, the shutter's high byte)
        // get the stored values beside them.
        difference.a +=
            " (" + std::to_string(settings::ReadFieldValue(a_, field, bank, window)) + ")";
        difference.b +=
            " (" + std::to_string(settings::ReadFieldValue(b_, field, bank, window)) + ")";
      }
      out_.push_back(std::move(difference));
    });
  }

  bool Differs(const Field& field, int bank, int window) const {
    const int first = settings::FieldWord(field, bank, window);
    for (int k = 0; k < field.words; ++k) {
      const auto word = static_cast<std::size_t>(first + k);
      if (((a_[word] ^ b_[word]) >> field.shift & field.mask) != 0) return true;
    }
    return false;
  }

  // Of the rows sharing the leader's bits, the one the listing would show for this window:
  // the row of the window's inspection function, a listed row before a page-only one, and a
  // row with a label in this language before one without.
  const Field& RowFor(std::span<const Field> fields, std::size_t leader, int bank,
                      int window) const {
    const unsigned function = fields[leader].place == Place::kWindow && function_ != nullptr
                                  ? settings::ReadFieldValue(a_, *function_, bank, window)
                                  : 0;
    const Field* best = &fields[leader];
    int best_score = -1;
    for (std::size_t i = leader; i < fields.size(); ++i) {
      const Field& row = fields[i];
      if (!Compared(row, version_) || !SameBits(row, fields[leader])) continue;
      const int score = (((row.functions >> function) & 1u) != 0 ? 4 : 0) +
                        (row.page_only ? 0 : 2) + (Text(row.label, lang_).empty() ? 0 : 1);
      if (score > best_score) {
        best = &row;
        best_score = score;
      }
    }
    return *best;
  }

  // The row's label; a label without a text in this language borrows one from a row of the
  // same bits, then the other language's text.
  std::string Label(std::span<const Field> fields, std::size_t leader, const Field& shown) const {
    if (!Text(shown.label, lang_).empty()) return std::string(Text(shown.label, lang_));
    for (std::size_t i = leader; i < fields.size(); ++i) {
      const Field& row = fields[i];
      if (Compared(row, version_) && SameBits(row, shown) && !Text(row.label, lang_).empty())
        return std::string(Text(row.label, lang_));
    }
    return std::string(Text(shown.label, lang_ == Lang::En ? Lang::Ja : Lang::En));
  }

  std::string ValueText(const SettingsImage& image, const Field& field, int bank,
                        int window) const {
    const unsigned stored = settings::ReadFieldValue(image, field, bank, window);
    switch (field.kind) {
      case Kind::kList: {
        // The shutter speed is a whole-word field; the listing takes its low byte.
        const unsigned item = field.id == FieldId::kShutterSpeed ? stored & 0xFFu : stored;
        const std::string_view text = csv::ChoiceItem(item, Text(field.list, lang_));
        return text.empty() ? std::to_string(stored) : std::string(text);
      }
      case Kind::kTenths:
        return csv::FormatTenthsPercent(stored);
      case Kind::kAngle:
        return csv::FormatAngle(stored);
      case Kind::kThreshold: {
        const unsigned unit =
            unit_ != nullptr ? settings::ReadFieldValue(image, *unit_, bank, window) : 0;
        std::string text = csv::FormatThreshold(unit, stored);
        text.erase(0, text.find_first_not_of(' '));
        return text;
      }
      case Kind::kBankChoice:
        if (stored < settings::kBankCount) return std::to_string(stored);
        return std::string(csv::ChoiceItem(((stored & 0xFFu) - settings::kBankCount) & 0xFFu,
                                           Text(field.list, lang_)));
      case Kind::kComment:
        return '"' + csv::BankCommentText(image, bank) + '"';
      case Kind::kIdentity:
        if (field.id == FieldId::kModelCode && stored == settings::kModelKyrTc)
          return std::string(kModelName);
        if (field.id == FieldId::kModelCode)
          return std::string(Text(EditorText::kUndefinedType, lang_)) + " (" +
                 std::to_string(stored) + ")";
        return std::to_string(stored);
      default:
        return std::to_string(settings::ShownValue(field, stored));
    }
  }

  void CompareUncoveredWords() {
    const Coverage covered = CoveredBits(version_);
    for (std::size_t word = 0; word < covered.size(); ++word) {
      if (((a_[word] ^ b_[word]) & ~covered[word] & 0xFFFFu) == 0) continue;
      Difference difference;
      difference.where = Where::kWord;
      difference.word = static_cast<int>(word);
      difference.a = Hex(a_[word]);
      difference.b = Hex(b_[word]);
      out_.push_back(std::move(difference));
    }
  }

  // The common block first, then the banks in word order (each bank's windows after its own
  // settings), then the words beyond the banks.
  static std::pair<int, int> SortKey(const Difference& d) {
    if (d.where == Where::kCommon || d.word >= settings::kCommonBase) return {0, d.word};
    if (d.word < settings::kBankCount * settings::kBankWords) return {1, d.word};
    return {2, d.word};
  }

  const SettingsImage& a_;
  const SettingsImage& b_;
  Lang lang_;
  int version_;
  const Field* function_;
  const Field* unit_;
  std::vector<Difference> out_;
};

bool Convertible(const SettingsImage& image) {
  const int version = settings::SettingsVersion(image);
  return settings::IsKyrTc(image) && version >= 1 && version <= settings::kLatestVersion;
}

}  // namespace

Comparison CompareSettings(const SettingsImage& a, const SettingsImage& b, Lang lang) {
  Comparison comparison;
  comparison.version_a = settings::SettingsVersion(a);
  comparison.version_b = settings::SettingsVersion(b);
  if (comparison.version_a == comparison.version_b || !Convertible(a) || !Convertible(b)) {
    comparison.differences = Comparer(a, b, lang).Run();
    return comparison;
  }
  const bool a_older = comparison.version_a < comparison.version_b;
  SettingsImage older = a_older ? a : b;
  settings::ConvertToHeadVersion(older, a_older ? comparison.version_b : comparison.version_a);
  comparison.converted = a_older ? Converted::kA : Converted::kB;
  comparison.differences =
      a_older ? Comparer(older, b, lang).Run() : Comparer(a, older, lang).Run();
  return comparison;
}

std::string PlaceText(const Difference& difference, Lang lang) {
  const auto text = [lang](EditorText id) { return LoadString(id, lang); };
  switch (difference.where) {
    case Where::kCommon:
      return std::string(text(EditorText::kCompareCommon));
    case Where::kBank:
      return FormatMessage(text(EditorText::kBankPlace), {std::to_string(difference.bank)});
    case Where::kWindow:
      return FormatMessage(text(EditorText::kWindowPlace), {std::to_string(difference.bank),
                                                            std::to_string(difference.window + 1)});
    case Where::kWord:
      break;
  }
  return FormatMessage(text(EditorText::kWordPlace), {std::to_string(difference.word)});
}

std::string DifferenceLine(const Difference& difference, Lang lang) {
  std::string line = PlaceText(difference, lang) + ": ";
  if (!difference.label.empty()) line += difference.label + ": ";
  return line + difference.a + " -> " + difference.b;
}

std::string ConversionNote(const Comparison& comparison, const std::string& name_a,
                           const std::string& name_b, Lang lang) {
  if (comparison.converted == Converted::kNone) return {};
  const bool a = comparison.converted == Converted::kA;
  const int from = a ? comparison.version_a : comparison.version_b;
  const int to = a ? comparison.version_b : comparison.version_a;
  return FormatMessage(LoadString(EditorText::kConverted, lang),
                       {a ? name_a : name_b, std::to_string(from), std::to_string(to)});
}

std::string FormatReport(const Comparison& comparison, const std::string& name_a,
                         const std::string& name_b, Lang lang) {
  std::string report;
  const std::string note = ConversionNote(comparison, name_a, name_b, lang);
  if (!note.empty()) report += note + '\n';
  for (const Difference& difference : comparison.differences)
    report += DifferenceLine(difference, lang) + '\n';
  if (comparison.Equal()) {
    report += LoadString(EditorText::kSettingsEqual, lang);
  } else {
    report += FormatMessage(LoadString(EditorText::kSettingsDiffer, lang),
                            {std::to_string(comparison.differences.size())});
  }
  return report + '\n';
}

}  // namespace kyr::compare
