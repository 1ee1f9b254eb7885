#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <map>
#include <set>

#include "settings/field_table.h"
#include "settings/initial_values.h"
#include "strings/strings.h"

namespace kyr::settings {
namespace {

using enum FieldId;

bool EditedAsValue(Kind kind) {
  return kind == Kind::kNumber || kind == Kind::kTenths || kind == Kind::kAngle ||
         kind == Kind::kThreshold || kind == Kind::kBankChoice;
}

unsigned Bits(const Field& field) {
  return static_cast<unsigned>(field.mask) << field.shift;
}

// Fields that deliberately occupy the same bits of one word.
const std::set<std::set<FieldId>> kSharedPlaces = {
    {kStainThreshold, kUpperAreaThreshold},
    {kContourThreshold, kDiffThreshold, kLowerAreaThreshold},
    {kContourJudgment, kStainBinarized},
    {kContourExpansion, kColorExpansion},
    {kUnitSelector, kWindowCalc},
    {kWindowResultCombine, kWindowResult2Or},
};

bool MayShare(FieldId a, FieldId b) {
  for (const auto& group : kSharedPlaces) {
    if (group.count(a) != 0 && group.count(b) != 0) return true;
  }
  return false;
}

TEST(FieldTable, FieldsOfOneVersionNeverOverlapUnlessTheyShareAPlace) {
  for (int version = 1; version <= 3; ++version) {
    std::vector<const Field*> present;
    for (const Field& field : AllFields()) {
      if (ExistsIn(field, version)) present.push_back(&field);
    }
    for (std::size_t i = 0; i < present.size(); ++i) {
      for (std::size_t j = i + 1; j < present.size(); ++j) {
        const Field& a = *present[i];
        const Field& b = *present[j];
        const bool same_word =
            a.place == b.place && a.word < b.word + b.words && b.word < a.word + a.words;
        if (!same_word || (Bits(a) & Bits(b)) == 0) continue;
        SCOPED_TRACE(testing::Message()
                     << "version " << version << ": fields " << static_cast<int>(a.id) << " and "
                     << static_cast<int>(b.id));
        EXPECT_TRUE(MayShare(a.id, b.id));
        EXPECT_EQ(Bits(a), Bits(b));  // sharing is all or nothing
        // Window fields that share bits belong to different inspection functions, except
        // the unit selector and the window calculation, which the editor writes in order.
        if (a.place == Place::kWindow && a.id != kUnitSelector && b.id != kUnitSelector) {
          EXPECT_EQ(a.functions & b.functions, 0);
        }
      }
    }
  }
}

TEST(FieldTable, RowsAreWellFormed) {
  std::map<FieldId, int> versions_seen;
  for (const Field& field : AllFields()) {
    SCOPED_TRACE(static_cast<int>(field.id));
    EXPECT_LT(field.word + field.words - 1, field.place == Place::kCommon ? kCommonWords
                                            : field.place == Place::kBank ? kFirstWindowWord
                                                                          : kWindowWords);
    EXPECT_LE(field.shift + std::bit_width(static_cast<unsigned>(field.mask)), 16);
    // One row per field and version.
    EXPECT_EQ(versions_seen[field.id] & field.versions, 0);
    versions_seen[field.id] |= field.versions;
    if (EditedAsValue(field.kind)) {
      EXPECT_GT(field.max, 0);
      EXPECT_LE(field.max, field.mask);
    }
    // Rows of the latest layout carry the value a reset writes; older layouts none.
    const bool latest = ExistsIn(field, kLatestVersion);
    EXPECT_EQ(field.initial != kNoInitial, latest && field.kind != Kind::kComment);
    if (field.initial != kNoInitial) {
      EXPECT_LE(field.initial, field.mask);
      if (EditedAsValue(field.kind)) {
        EXPECT_LE(field.initial, field.max);
      }
    }
  }
  EXPECT_EQ(versions_seen.size(), static_cast<std::size_t>(FieldId::kCount));
}

TEST(FieldTable, LookupPicksThePlaceOfTheVersion) {
  const Field* common = FindField(kTargetWindow, 2);
  const Field* bank = FindField(kTargetWindow, 3);
  ASSERT_NE(common, nullptr);
  ASSERT_NE(bank, nullptr);
  EXPECT_EQ(common->place, Place::kCommon);
  EXPECT_EQ(FieldWord(*common, 5, 0), CommonWord(13));
  EXPECT_EQ(bank->place, Place::kBank);
  EXPECT_EQ(FieldWord(*bank, 5, 0), BankWord(5, 13));
  EXPECT_EQ(FindField(kTargetWindow, 0), common);  // version 0 counts as 1
  EXPECT_EQ(FindField(kTargetWindow, 9), bank);    // above 3 counts as 3
  EXPECT_EQ(ShownValue(*bank, 0), 1);
  EXPECT_EQ(ShownValue(*bank, 15), 16);
  EXPECT_EQ(ShownMin(*bank), 1);
  EXPECT_EQ(ShownMax(*bank), 16);

  EXPECT_EQ(FindField(kContinueLight, 1)->place, Place::kBank);
  EXPECT_EQ(FindField(kContinueLight, 2)->place, Place::kCommon);
  EXPECT_EQ(FindField(kPositionAdjust, 1)->mask, 7);
  EXPECT_EQ(FindField(kPositionAdjust, 2)->mask, 15);
  EXPECT_EQ(FindField(kEllipseMask, 2)->kind, Kind::kList);
  EXPECT_EQ(FindField(kEllipseMask, 3)->kind, Kind::kNumber);
  EXPECT_EQ(FindField(kAngleLimit, 2), nullptr);
  EXPECT_EQ(FindField(kSearchAccuracy, 2)->mask, 3);
  EXPECT_EQ(ShownMin(*FindField(kGreenGain, 3)), -3);
  EXPECT_EQ(ShownMax(*FindField(kColorAdjust, 3)), 10);

  const Field* angle = FindField(kAngleLimit, 3);
  EXPECT_EQ(AngleHundredths(1), 17);
  EXPECT_EQ(AngleHundredths(100), 1757);
  EXPECT_EQ(AngleHundredths(angle->max), 4482);

  // Field writes through the table keep the word's other bits.
  SettingsImage image{};
  CommentTexts comments{};
  InitializeSettings(image, comments);
  WriteFieldValue(image, *FindField(kSorting, 3), 4, 0, 5);
  EXPECT_EQ(image[BankWord(4, 5)], 0xD001);
  EXPECT_EQ(ReadFieldValue(image, *FindField(kImageRegistration, 3), 4, 0), 1);
  WriteFieldValue(image, *FindField(kInspectHeight, 3), 4, 9, 200);
  EXPECT_EQ(image[WindowWord(4, 9, 1)], 0xC864);
  // A value wider than the field does not spill into its neighbours.
  WriteFieldValue(image, *FindField(kSorting, 3), 4, 0, 0xF);
  EXPECT_EQ(image[BankWord(4, 5)], 0xF001);
}

std::size_t Items(EditorText id, Lang lang) {
  return SplitList(LoadString(id, lang)).size();
}

TEST(FieldTable, LabelsAndListsExistInBothLanguages) {
  for (const Field& field : AllFields()) {
    SCOPED_TRACE(static_cast<int>(field.id));
    if (field.label != EditorText{}) {
      EXPECT_TRUE(HasString(field.label)) << TextNumber(field.label);
      EXPECT_FALSE(LoadString(field.label, Lang::En).empty()) << TextNumber(field.label);
      EXPECT_FALSE(LoadString(field.label, Lang::Ja).empty());
    }
    if (field.list == EditorText{}) continue;
    const std::size_t en = Items(field.list, Lang::En);
    const std::size_t ja = Items(field.list, Lang::Ja);
    if (field.list == EditorText::kOffOnItems) {
      EXPECT_EQ(en, 3u);
      EXPECT_EQ(ja, 2u);
    } else {
      EXPECT_GT(en, 0u) << TextNumber(field.list);
      EXPECT_EQ(en, ja) << TextNumber(field.list);
    }
    if (field.kind == Kind::kList && field.initial != kNoInitial) {
      EXPECT_LT(static_cast<std::size_t>(field.initial), std::max(en, ja));
    }
  }
  EXPECT_EQ(ListItem(EditorText::kShutterSpeedItems, 9, Lang::En), " 1/120");
  EXPECT_EQ(ListItem(EditorText::kOutputBitItems, 61, Lang::En), "EY62");
  EXPECT_EQ(Items(EditorText::kLanguageItems, Lang::En), 16u);
  EXPECT_EQ(Items(EditorText::kBitWidthItems, Lang::En), 17u);
  EXPECT_EQ(Items(EditorText::kAngleTargetWindow1Items, Lang::Ja), 17u);

  // Every editor string has a text in both languages.
  for (int number = 0; number < 1000; ++number) {
    const auto id = static_cast<EditorText>(number);
    if (!HasString(id)) continue;
    EXPECT_FALSE(LoadString(id, Lang::Ja).empty()) << number;
    EXPECT_FALSE(LoadString(id, Lang::En).empty()) << number;
  }
}

}  // namespace
}  // namespace kyr::settings
