// The pages as a user meets them: what each row shows, and what leaving the page stores.
#include "editor/editor_fixture.h"

namespace kyr::editor {
namespace {

TEST_F(EditorTest, StartUpShowsPageOneOfAFreshImageAndStoresNothing) {
  ScriptedHost other_host;
  Editor fresh(other_host);
  fresh.TypeEditText(kRowControls[LeftRow(2)].edit, "99999");  // junk before the first show
  fresh.Start();
  EXPECT_TRUE(other_host.messages.empty());
  EXPECT_EQ(fresh.Image(), Fresh(3));

  EXPECT_EQ(editor.CurrentPage(), 1);
  EXPECT_EQ(editor.CurrentBank(), 0);
  EXPECT_EQ(editor.CurrentWindow(), 0);
  EXPECT_EQ(editor.Window().left_caption, "Camera Settings");
  EXPECT_EQ(editor.Window().comment, "  ------------------");
  EXPECT_EQ(Row(LeftRow(1)).label, "Shutter Speed*");
  EXPECT_EQ(Row(LeftRow(1)).items.at(9), " 1/120");
  EXPECT_EQ(Row(LeftRow(1)).selection, 9);
  EXPECT_EQ(Row(LeftRow(6)).label, "ContourJudgmnt*");
  EXPECT_EQ(Row(LeftRow(10)).label, "Green Gain");
  EXPECT_EQ(Row(LeftRow(10)).edit_text, "0");
  EXPECT_EQ(Row(RightRow(7)).label, "Continue Light");
  EXPECT_TRUE(editor.TakeChanges().rows.all());
}

TEST_F(EditorTest, RefusedValueStopsNavigationAndKeepsEarlierFields) {
  Choose(LeftRow(1), 3);
  Type(LeftRow(2), "100");
  Type(LeftRow(10), "5");  // Green Gain: -3 to 4
  Type(RightRow(1), "7");
  editor.ClickPageButton(kInputPage);

  ASSERT_EQ(host.messages.size(), 1u);
  const Message& m = host.messages[0];
  EXPECT_EQ(static_cast<EditorText>(m.string_id), EditorText::kIllegalValue);
  EXPECT_EQ(m.text, "Found the illegal setting value. (range : " + Range("-3", "4"));
  EXPECT_EQ(m.caption, "Error");
  EXPECT_EQ(m.icon, Icon::Error);
  EXPECT_EQ(host.focused, std::vector<int>{1046});
  EXPECT_EQ(editor.CurrentPage(), 1);
  EXPECT_EQ(editor.Window().checked_page, 1);
  EXPECT_EQ(Row(LeftRow(10)).edit_text, "5");
  EXPECT_EQ(BankWord(0), 3);    // stored before the refused row
  EXPECT_EQ(BankWord(1), 100);  // likewise
  EXPECT_EQ(BankWord(2), 128);  // after it: not stored

  editor.SelectBank(5);  // refused the same way; the selector goes back
  EXPECT_EQ(host.messages.size(), 2u);
  EXPECT_EQ(editor.Window().bank_selection, 0);
  EXPECT_TRUE(editor.TakeChanges().bank_selector);

  Type(LeftRow(10), "4");
  editor.SelectBank(5);
  EXPECT_EQ(editor.CurrentBank(), 5);
  EXPECT_EQ(Bits(CommonWord(6), 0, 15), 7u);
  EXPECT_EQ(editor.Image()[settings::BankWord(0, 2)], 7);
  EXPECT_EQ(Row(LeftRow(2)).edit_text, "228");
}

TEST_F(EditorTest, SelectorButtonsStopAtTheEnds) {
  editor.ClickButton(kBankDown);
  editor.ClickButton(kWindowDown);
  EXPECT_EQ(editor.CurrentBank() + editor.CurrentWindow(), 0);
  editor.SelectBank(31);
  editor.SelectWindow(15);
  editor.ClickButton(kBankUp);
  editor.ClickButton(kWindowUp);
  EXPECT_EQ(editor.CurrentBank(), 31);
  EXPECT_EQ(editor.CurrentWindow(), 15);
  editor.ClickButton(kBankDown);
  EXPECT_EQ(editor.Window().bank_selection, 30);
  EXPECT_EQ(editor.ClickButton(kExit), ButtonResult::kCloseWindow);
}

TEST_F(EditorTest, ChoicesAreMaskedAndValuesBeyondTheListAreLeftAlone) {
  editor.ClickPageButton(kInputPage);
  CommonWord(16) |= 0x1000;
  BankWord(0) = 30;  // no such shutter item
  editor.ClickPageButton(kCameraLightingPage);
  EXPECT_EQ(Row(RightRow(7)).selection, 1);
  EXPECT_EQ(Row(LeftRow(1)).selection, -1);
  Choose(RightRow(7), 2);  // "SHIFT" in a one-bit field
  editor.ClickPageButton(kOutputOtherPage);
  EXPECT_EQ(CommonWord(16), 0x001C);
  EXPECT_EQ(BankWord(0), 30);

  // "RunOutputWidth" offers three items for a two-bit field.
  editor.ClickPageButton(kInputPage);
  CommonWord(12) |= 3 << 6;
  editor.ClickPageButton(kOutputOtherPage);
  EXPECT_EQ(Row(LeftRow(6)).items.size(), 3u);
  EXPECT_EQ(Row(LeftRow(6)).selection, -1);
  EXPECT_EQ(Row(LeftRow(13)).items.size(), 11u);
  editor.ClickPageButton(kSearchInspectionPage);
  EXPECT_EQ(Bits(CommonWord(12), 6, 3), 3u);

  Choose(LeftRow(11), 5);  // "Sorting" keeps "Image registration" and "Color Mode"
  editor.ClickPageButton(kInputPage);
  EXPECT_EQ(BankWord(5), 0x8001 | (5 << 12));
}

TEST_F(EditorTest, InputPageBankSelectionAndLimits) {
  editor.ClickPageButton(kInputPage);
  ASSERT_EQ(Row(LeftRow(1)).items.size(), 35u);
  EXPECT_EQ(Row(LeftRow(1)).items[33], "SELECT");
  EXPECT_EQ(Row(LeftRow(1)).selection, 33);
  Choose(LeftRow(1), 32);
  Type(LeftRow(6), "20000");
  Type(RightRow(5), "100");  // "Saturate Limit", bits 8-14 of bank word 14
  BankWord(14) |= 0x8000;
  editor.ClickPageButton(kInputPage);
  EXPECT_EQ(CommonWord(9), 32);
  EXPECT_EQ(BankWord(16), 20000);
  EXPECT_EQ(BankWord(14), 0x8000 | (100 << 8) | 50);
  Type(LeftRow(6), "20001");
  editor.ClickPageButton(kCameraLightingPage);
  EXPECT_TRUE(host.messages.at(0).text.ends_with(Range("0", "20000")));
}

TEST_F(EditorTest, OutputPageTargetWindowAndVersionRows) {
  editor.ClickPageButton(kOutputOtherPage);
  EXPECT_EQ(Row(LeftRow(9)).label, "Target Window*");
  EXPECT_EQ(Row(LeftRow(9)).edit_text, "1");
  Type(LeftRow(9), "16");
  editor.SelectBank(1);  // version 3: a value per bank
  EXPECT_EQ(editor.Image()[settings::BankWord(0, 13)] >> 12, 15);
  EXPECT_EQ(Row(LeftRow(9)).edit_text, "1");
  Type(LeftRow(9), "17");
  editor.SelectBank(0);
  EXPECT_TRUE(host.messages.at(0).text.ends_with(Range("1", "16")));
  Type(LeftRow(9), "1");
  editor.SelectBank(0);

  // Version 2: three rows blank, "Target Window" common, "Output Polarty" one bit.
  auto image = Fresh(2);
  image[settings::CommonWord(20)] = 0x0123;
  image[settings::CommonWord(15)] = 0xE000;
  Load(image);
  for (int n : {14, 15, 18}) {
    EXPECT_EQ(Row(LeftRow(n)).label, "");
    EXPECT_FALSE(Row(LeftRow(n)).label_enabled || Row(LeftRow(n)).combo_enabled);
  }
  Type(LeftRow(9), "16");
  Choose(LeftRow(1), 3);  // "INV-OR" masked to the one-bit field
  editor.SelectBank(4);
  EXPECT_EQ(CommonWord(13) >> 12, 15);
  EXPECT_EQ(editor.Image()[settings::BankWord(0, 13)] >> 12, 0);
  EXPECT_EQ(editor.Image()[settings::BankWord(0, 7)] & 0x31, 1);
  EXPECT_EQ(CommonWord(20), 0x0123);
  EXPECT_EQ(CommonWord(15), 0xE000);
  EXPECT_EQ(Row(LeftRow(9)).edit_text, "16");  // the same for every bank
}

TEST_F(EditorTest, VersionOneMovesContinueLightAndPositionAdjust) {
  settings::SetModelAndVersion(editor.Image(), 1, 1);
  BankWord(3) |= 0x1000;
  editor.ClickPageButton(kCameraLightingPage);
  EXPECT_EQ(Row(RightRow(7)).label, "Continue Light*");
  Choose(RightRow(7), 0);
  CommonWord(16) |= 0x1000;
  UseWindow(1);
  EXPECT_EQ(BankWord(3) & 0x1000, 0);
  EXPECT_EQ(CommonWord(16) & 0x1000, 0x1000);
  Type(RightRow(10), "8");  // "PositionAdjust": 0 to 7 in version 1
  editor.ClickPageButton(kCameraLightingPage);
  EXPECT_TRUE(host.messages.at(0).text.ends_with(Range("0", "7")));
}

TEST_F(EditorTest, SearchPageRowsFollowUseFlagAndFunction) {
  editor.ClickPageButton(kSearchInspectionPage);
  // A fresh window: not used, STAIN; fields shown but disabled.
  EXPECT_FALSE(Row(RightRow(2)).combo_enabled || Row(RightRow(2)).label_enabled);
  EXPECT_EQ(Row(RightRow(3)).label, "LowerAreaThrsh#");
  EXPECT_EQ(Row(RightRow(3)).edit_text, "  2.0%");
  EXPECT_FALSE(Row(RightRow(3)).edit_enabled);
  EXPECT_TRUE(Row(RightRow(3)).label_enabled);   // a number row's label stays enabled
  EXPECT_FALSE(Row(RightRow(6)).label_enabled);  // a choice row's label follows its combo
  EXPECT_EQ(Row(RightRow(5)).label, "StainBinarized#");
  const auto before = editor.Image();
  editor.ClickPageButton(kSearchInspectionPage);
  EXPECT_EQ(editor.Image(), before);

  UseWindow(1);  // CONTOUR
  EXPECT_TRUE(Row(RightRow(2)).combo_enabled);
  EXPECT_EQ(Row(RightRow(9)).label, "Judgment Unit#");
  EXPECT_EQ(Row(RightRow(10)).label, "PositionAdjust#");
  EXPECT_TRUE(Row(RightRow(10)).edit_enabled);

  // Changing the function stores the old layout's rows first, the function last.
  Type(RightRow(3), "30");
  Type(RightRow(6), "40");
  Choose(RightRow(2), 2);
  EXPECT_EQ(Bits(WindowWord(7), 0, 0x3FF), 300u);
  EXPECT_EQ(Bits(WindowWord(7), 10, 63), 40u);
  EXPECT_EQ(Bits(WindowWord(2), 4, 7), 2u);
  const char* diff_labels[] = {"Diff.Threshold#",
                               "Diff. Cutoff#",
                               "Noise Filter#",
                               "Judgment Polar#",
                               "Judgment Unit#",
                               "PositionAdjust#",
                               ""};
  for (int n = 3; n <= 9; ++n) EXPECT_EQ(Row(RightRow(n)).label, diff_labels[n - 3]);

  // A refused value keeps the old function in the image and the old layout on screen.
  Type(RightRow(4), "16");  // "Diff. Cutoff" 0 to 15
  Choose(RightRow(2), 4);
  EXPECT_EQ(Bits(WindowWord(2), 4, 7), 2u);
  EXPECT_EQ(Row(RightRow(4)).label, "Diff. Cutoff#");
  Type(RightRow(4), "15");
  editor.SelectWindow(1);
  EXPECT_EQ(editor.Image()[settings::WindowWord(0, 0, 2)] >> 4 & 7, 4);

  // Functions without an item: no judgment rows, and the function survives a store.
  editor.ClickPageButton(kCameraLightingPage);
  WindowWord(2) = static_cast<std::uint16_t>((WindowWord(2) & ~0x70) | (6 << 4) | 1);
  editor.ClickPageButton(kSearchInspectionPage);
  EXPECT_EQ(Row(RightRow(2)).selection, -1);
  EXPECT_EQ(Row(RightRow(3)).label, "");
  editor.ClickPageButton(kCameraLightingPage);
  EXPECT_EQ(Bits(WindowWord(2), 4, 7), 6u);
}

TEST_F(EditorTest, ThresholdsFollowTheUnitSelectorWhichOutranksWindowCalc) {
  SetLanguage(Lang::Ja);
  UseWindow(0);  // CLRSHAPE: unit selector on R9
  Type(RightRow(3), "50");
  Choose(RightRow(9), 1);  // pixels: rebuilds the page
  EXPECT_EQ(Bits(WindowWord(7), 0, 0x3FF), 500u);
  EXPECT_EQ(Row(RightRow(3)).edit_text, "500");
  Choose(RightRow(9), 3);
  EXPECT_EQ(Row(RightRow(3)).edit_text, "50000");
  Type(RightRow(3), "100099");
  Choose(RightRow(9), 0);
  EXPECT_EQ(Bits(WindowWord(7), 0, 0x3FF), 1000u);
  EXPECT_EQ(Row(RightRow(3)).edit_text, "100.0%");

  // "Window Calc." shares the unit's bits and is stored first.
  Choose(LeftRow(12), 2);
  editor.ClickPageButton(kSearchInspectionPage);
  EXPECT_EQ(Bits(WindowWord(5), 12, 3), 0u);

  // A unit change refused by another row, then a bank change: the thresholds on screen
  // are still read in the unit they were shown in.
  Type(RightRow(3), "50.0");
  Type(RightRow(6), "99");  // "ContourJudgmnt" 0 to 63
  Choose(RightRow(9), 1);
  ASSERT_EQ(host.messages.size(), 1u);
  Type(RightRow(6), "20");
  Choose(LeftRow(12), 1);  // and "Window Calc." moved the shared bits meanwhile
  editor.SelectBank(1);
  const auto window_word = [&](int k) { return editor.Image()[settings::WindowWord(0, 0, k)]; };
  EXPECT_EQ(Bits(window_word(7), 0, 0x3FF), 500u);
  EXPECT_EQ(Bits(window_word(5), 12, 3), 1u);
}

TEST_F(EditorTest, TenthsAndAngleRowsOfTheSearchPage) {
  editor.ClickPageButton(kSearchInspectionPage);
  EXPECT_EQ(Row(LeftRow(17)).label, "Angle Limit \xC2\xB1*");
  Type(LeftRow(5), "85.5");
  Type(LeftRow(17), "44.82");
  editor.ClickPageButton(kSearchInspectionPage);
  EXPECT_EQ(BankWord(7) >> 6, 855);
  EXPECT_EQ(BankWord(4), (255 << 8) | 128);
  EXPECT_EQ(Row(LeftRow(5)).edit_text, "85.5");
  EXPECT_EQ(Row(LeftRow(17)).edit_text, "44.82");
  Type(LeftRow(5), "100.1");
  Type(LeftRow(17), "44.92");
  editor.ClickPageButton(kInputPage);
  Type(LeftRow(5), "1");
  editor.ClickPageButton(kInputPage);
  ASSERT_EQ(host.messages.size(), 2u);
  EXPECT_TRUE(host.messages[0].text.ends_with(Range("0.0", "100.0")));
  EXPECT_TRUE(host.messages[1].text.ends_with(Range("0.00", "44.82")));
  EXPECT_EQ(host.focused.back(), EditId(LeftRow(17)));

  // Version 2: the version 3 rows are blank and the accuracy has two bits.
  Load(Fresh(2));
  editor.ClickPageButton(kSearchInspectionPage);
  for (int n : {4, 10, 12, 13, 14, 15, 16, 17}) EXPECT_EQ(Row(LeftRow(n)).label, "") << n;
  Choose(LeftRow(3), 6);  // "FAST"
  editor.ClickPageButton(kInputPage);
  EXPECT_EQ(Bits(BankWord(28), 12, 7), 2u + 4u);  // bit 14 of the initial 4 kept
}

TEST_F(EditorTest, WindowColorPageFollowsTheColourRule) {
  editor.ClickPageButton(kWindowColorPositionPage);
  // A STAIN window: colour rows filled but disabled.
  EXPECT_EQ(Row(LeftRow(1)).edit_text, "0");
  EXPECT_FALSE(Row(LeftRow(1)).edit_enabled || Row(LeftRow(1)).label_enabled);
  EXPECT_EQ(Row(RightRow(3)).items.size(), 2u);
  EXPECT_TRUE(Row(RightRow(2)).edit_enabled);
  EXPECT_FALSE(Row(RightRow(2)).combo_enabled);

  UseWindow(4);  // COLRAREA
  editor.ClickPageButton(kWindowColorPositionPage);
  EXPECT_TRUE(Row(LeftRow(1)).edit_enabled && Row(LeftRow(1)).label_enabled);
  Type(LeftRow(1), "-10");
  Choose(RightRow(1), 2);  // "SHIFT" in a one-bit field
  Type(RightRow(2), "100");
  Type(RightRow(5), "200");   // "Search Width", bank word 30 high byte
  Type(RightRow(13), "200");  // "Inspect Height", window word 1 high byte
  editor.SelectBank(3);
  auto word = [&](int index) { return editor.Image()[static_cast<std::size_t>(index)]; };
  EXPECT_EQ(word(settings::WindowWord(0, 0, 9)), (100 << 9) | (2 << 5));
  EXPECT_EQ(word(settings::WindowWord(0, 0, 2)) >> 15, 0);
  EXPECT_EQ(word(settings::BankWord(0, 30)), (200 << 8) | 50);
  EXPECT_EQ(word(settings::WindowWord(0, 0, 1)), (200 << 8) | 100);
  EXPECT_EQ(word(settings::BankWord(3, 30)), (40 << 8) | 50);

  editor.SelectBank(0);
  Type(LeftRow(1), "11");
  Type(RightRow(2), "101");
  editor.ClickPageButton(kWindowColorPositionPage);
  Type(LeftRow(1), "10");
  editor.ClickPageButton(kWindowColorPositionPage);
  ASSERT_EQ(host.messages.size(), 2u);
  EXPECT_TRUE(host.messages[0].text.ends_with(Range("-10", "10")));
  EXPECT_EQ(host.focused.back(), EditId(RightRow(2)));
  Type(RightRow(2), "0");
  editor.ClickPageButton(kCameraLightingPage);
  EXPECT_EQ(WindowWord(9) & 31, 20);
  WindowWord(9) |= 31;
  editor.ClickPageButton(kWindowColorPositionPage);
  EXPECT_EQ(Row(LeftRow(1)).edit_text, "21");

  // Version 2: "Ellips mask" is a list in window word 4.
  Load(Fresh(2));
  editor.ClickPageButton(kWindowColorPositionPage);
  EXPECT_TRUE(Row(RightRow(2)).combo_enabled);
  Choose(RightRow(2), 5);
  editor.ClickPageButton(kCameraLightingPage);
  EXPECT_EQ(WindowWord(4) >> 12, 5);
}

// The rows whose labels and lists once had Japanese texts only: in English each shows its
// label and items, and a choice is stored into its field like any other.
TEST_F(EditorTest, EnglishRowsOfFreeMaskMaskLogicOutputCombineAndUnit) {
  struct Case {
    int page;
    int row;
    settings::FieldId field;
    const char* label;
    const char* japanese_label;
    std::vector<std::string> items;
  };
  const Case cases[] = {
      {kOutputOtherPage,
       LeftRow(18),
       settings::FieldId::kWindowResultCombine,
       "WndOutCombine",
       "ウィンドウ出力合成",
       {"NONE", "2 AND", "4 AND", "8 AND", "2 OR", "4 OR", "8 OR"}},
      {kSearchInspectionPage,
       RightRow(9),
       settings::FieldId::kUnitSelector,
       "Judgment Unit#",
       "判定要素#",
       {"%", "x1 PIXEL", "x10 PIXEL", "x100 PIXEL"}},
      {kWindowColorPositionPage,
       RightRow(1),
       settings::FieldId::kFreeMask,
       "Free Mask#",
       "自由マスク#",
       {"OFF", "ON", "SHIFT"}},
      {kWindowColorPositionPage,
       RightRow(3),
       settings::FieldId::kMaskLogic,
       "Mask Logic#",
       "マスク論理#",
       {"NORMAL", "INVERSE"}},
  };
  UseWindow(0);  // CLRSHAPE: the unit selector is shown
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    SetLanguage(Lang::Ja);
    editor.ClickPageButton(c.page);
    EXPECT_EQ(Row(c.row).label, c.japanese_label);
    SetLanguage(Lang::En);
    editor.ClickPageButton(c.page);
    EXPECT_EQ(Row(c.row).label, c.label);
    EXPECT_EQ(Row(c.row).items, c.items);
    EXPECT_TRUE(Row(c.row).combo_enabled);
    Choose(c.row, 1);
    editor.ClickPageButton(kCameraLightingPage);
    const settings::Field* field = settings::FindField(c.field, 3);
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(settings::ReadFieldValue(editor.Image(), *field, editor.CurrentBank(),
                                       editor.CurrentWindow()),
              1u);
  }
}

TEST_F(EditorTest, JapaneseListsAndMessages) {
  SetLanguage(Lang::Ja);
  editor.ClickPageButton(kOutputOtherPage);
  EXPECT_EQ(Row(LeftRow(8)).items.size(), 2u);  // list 146 has two Japanese items
  EXPECT_EQ(Row(LeftRow(18)).label, "ウィンドウ出力合成");
  Type(LeftRow(3), "5001");
  editor.ClickPageButton(kCameraLightingPage);
  EXPECT_EQ(host.messages.at(0).text,
            "編集した設定値範囲が異常です。(範囲 : " + Range("0", "5000"));
}

}  // namespace
}  // namespace kyr::editor
