#include "compare/compare.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/conversion.h"
#include "settings/initial_values.h"

namespace kyr::compare {
namespace {

using settings::SettingsImage;

// A freshly initialised image, as `tolvane init` writes it.
SettingsImage Initial() {
  SettingsImage image{};
  settings::CommentTexts comments{};
  settings::InitializeSettings(image, comments);
  return image;
}

struct Edit {
  int word;
  std::uint16_t mask;
  std::uint16_t value;
};

void Apply(SettingsImage& image, const std::vector<Edit>& edits) {
  for (const Edit& edit : edits) {
    auto& word = image[static_cast<std::size_t>(edit.word)];
    word = static_cast<std::uint16_t>((word & ~edit.mask) | edit.value);
  }
}

std::vector<std::string> Lines(const Comparison& comparison, Lang lang) {
  std::vector<std::string> lines;
  for (const Difference& difference : comparison.differences)
    lines.push_back(DifferenceLine(difference, lang));
  return lines;
}

struct Case {
  const char* what;
  std::vector<Edit> edits_a;  // applied to the first image
  std::vector<Edit> edits_b;  // applied to the second image
  Lang lang;
  std::vector<std::string> lines;
};

constexpr int kCommon = settings::kCommonBase;
constexpr int Bank(int b, int k) {
  return settings::BankWord(b, k);
}
constexpr int Window(int b, int w, int k) {
  return settings::WindowWord(b, w, k);
}

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = {
      {"equal images", {}, {}, Lang::En, {}},
      {"a list item and a whole-word bank choice",
       {},
       {{kCommon + 9, 0xFFFF, 5}, {Bank(2, 5), 0x1000, 0x1000}},
       Lang::En,
       {"Common: Bank Selection: SELECT -> 5", "Bank 2: Sorting: OFF -> MEMORY 0"}},
      {"shown values keep their offset and format",
       {},
       {{kCommon + 6, 0x000F, 0x0007},
        {Bank(0, 7), 0xFFC0, 805 << 6},
        {Bank(31, 4), 0xFF00, 100 << 8},
        {Window(1, 15, 9), 0x001F, 0x0000}},
       Lang::En,
       {"Common: Green Gain: 0 -> 4", "Bank 0: CorrelatnLimit: 0.0% -> 80.5%",
        "Bank 1, Window 16: Color Adjust: 0 -> -10", "Bank 31: Angle Limit ±: 0.00 -> 17.57"}},
      {"a shared threshold takes the label of the first image's function",
       {{Window(4, 0, 2), 0x0070, 0x0000}},
       {{Window(4, 0, 2), 0x0070, 0x0000}, {Window(4, 0, 7), 0x03FF, 30}},
       Lang::En,
       {"Bank 4, Window 1: ContourThrshld: 2.0% -> 3.0%"}},
      {"the unit selector shares its bits with the window calculation",
       {},
       {{Window(0, 3, 5), 0x3000, 0x3000}},
       Lang::Ja,
       {"バンク 0, ウィンドウ 4: 判定要素: % -> x100画素"}},
      {"bank comments as text, uncovered words in hex",
       {},
       {{Bank(5, 18), 0xFFFF, 0x4241}, {Bank(5, 17), 0xFFFF, 0x0001}, {7000, 0xFFFF, 0xBEEF}},
       Lang::En,
       {"Word 977: 0x0000 -> 0x0001", "Bank 5: Bank Comment: \"  \" -> \"AB\"",
        "Word 7000: 0x0000 -> 0xBEEF"}},
      {"Japanese labels and items",
       {},
       {{kCommon + 9, 0xFFFF, 5}},
       Lang::Ja,
       {"共通: バンク選択: 選択 -> 5"}},
      {"an item text that hides a high byte shows the stored values",
       {},
       {{Bank(0, 0), 0xFF00, 0x0100}},
       Lang::En,
       {"Bank 0: Shutter Speed:  1/120 (9) ->  1/120 (265)"}},
  };
  return cases;
}

TEST(CompareSettings, NamesEachDifferingSettingOnce) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.what);
    SettingsImage a = Initial();
    SettingsImage b = Initial();
    Apply(a, c.edits_a);
    Apply(b, c.edits_b);
    const Comparison comparison = CompareSettings(a, b, c.lang);
    EXPECT_EQ(comparison.converted, Converted::kNone);
    EXPECT_EQ(Lines(comparison, c.lang), c.lines);
  }
}

// An older image is converted to the newer one's version before the fields are compared, so a
// file and its upgraded copy are equal, and a real change still shows under its new place.
TEST(CompareSettings, ConvertsTheOlderSideFirst) {
  SettingsImage old = Initial();
  settings::ConvertVersion3To2(old);
  old[static_cast<std::size_t>(Bank(0, 7))] |= 0x0001;  // "Output Polarty" INVERSE in version 2
  SettingsImage upgraded = old;
  settings::ConvertToHeadVersion(upgraded, 3);

  const Comparison same = CompareSettings(old, upgraded, Lang::En);
  EXPECT_TRUE(same.Equal());
  EXPECT_EQ(same.converted, Converted::kA);
  EXPECT_EQ(ConversionNote(same, "old.kdta", "new.kdta", Lang::En),
            "old.kdta was converted from settings version 2 to 3 before comparing.");

  upgraded[static_cast<std::size_t>(Bank(0, 7))] &= static_cast<std::uint16_t>(~0x0030);
  const Comparison changed = CompareSettings(upgraded, old, Lang::En);
  EXPECT_EQ(changed.converted, Converted::kB);
  EXPECT_EQ(Lines(changed, Lang::En),
            std::vector<std::string>{"Bank 0: Output Polarty: NORMAL -> INVERSE"});
  EXPECT_EQ(FormatReport(changed, "a", "b", Lang::En),
            "b was converted from settings version 2 to 3 before comparing.\n"
            "Bank 0: Output Polarty: NORMAL -> INVERSE\n1 settings differ.\n");
}

// Every bit of the image is compared: a change anywhere gives exactly one line.
TEST(CompareSettings, EveryBitIsSeenOnce) {
  const SettingsImage base = Initial();
  for (int word = 0; word < settings::kWordCount; word += 61) {
    for (int bit = 0; bit < 16; bit += 5) {
      SettingsImage changed = base;
      changed[static_cast<std::size_t>(word)] ^= static_cast<std::uint16_t>(1u << bit);
      if (word == settings::kCommonBase && bit >= 8) continue;  // the version byte converts
      SCOPED_TRACE(testing::Message() << "word " << word << " bit " << bit);
      EXPECT_EQ(CompareSettings(base, changed, Lang::En).differences.size(), 1u);
    }
  }
}

}  // namespace
}  // namespace kyr::compare
