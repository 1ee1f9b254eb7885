#include "csv/listing.h"

#include <gtest/gtest.h>

#include <string>

#include "listing_support.h"

namespace kyr::csv {
namespace {

using settings::BankWord;
using settings::CommonWord;
using settings::WindowWord;
using testing::Count;
using testing::Crlf;
using testing::FreshImage;
using testing::Section;
using testing::Word;

constexpr std::string_view kFreshCommon = R"(
Type,KYR-TC
$$$ COMMON SETTINGS $$$
Settings Version,3
Bank Selection,SELECT
BankInputStart,EX1
BankInputWidth,1BIT 0,1
Trigger Mode,NONE
Trigger Input,HEADORDR
ForceTriggerIn,NONE
ForceOutputOff,NONE
Ext. Teach-in,NONE
Auto-Shutter,OFF
Auto-Contour,OFF
Auto-Threshold,ON
Auto-ColorExtr,NONE
Head Verify,NONE
Oneshot OK/NG,OFF
Off-DelayTimer,0
On-Delay Timer,0
RunOutputStart,EY1
RunOutputWidth,NONE
BusyOut Start,EY1
BusyOut Enable,OFF
X-Pos. Start,EY1
X-Pos. Width,NONE
Y-Pos. Start,EY1
Y-Pos. Width,NONE
AngleOut Start,EY1
AngleOut Width,NONE
WndwResltStart,EY1
WndwResltWidth,NONE
WindwResult2OR,OFF
Light Control,NONE
LightCntlPolar,NORMAL
Continue Light,OFF
DisplyPrcesImg,ALL-WNDW
Save NG Image,NONE
No. of SaveImg,10
Green Gain,0
Red Gain,-1
Blue Gain,0
Window Frame,ON
Search Frame,STANDARD
Language,SELECT
Selected Bank No.,0
)";

TEST(CsvListing, FreshFileListsTheCommonSettingsAndThirtyTwoUnregisteredBanks) {
  std::string expected = Crlf(kFreshCommon);
  for (int bank = 0; bank < 32; ++bank) {
    expected += "\r\n*** Bank No. = " + std::to_string(bank) + " ***\r\n";
    expected += "This is unregistered bank.\r\n";
  }
  EXPECT_EQ(FormatCsvListing(FreshImage(), Lang::En), expected);
}

// The common settings that move between versions, each with a value of its own.
settings::SettingsImage VersionedCommon(int version) {
  auto image = FreshImage();
  Word(image, CommonWord(0)) = static_cast<std::uint16_t>(version << 8 | 1);
  Word(image, CommonWord(13)) = 0x7000;  // old target window 7 (shown 8)
  Word(image, CommonWord(15)) = 0x2000;  // window result combination 1
  Word(image, CommonWord(16)) = 0x101C;  // continuous light on
  Word(image, CommonWord(20)) = 0x0085;  // angle output from EY6, 2 bits
  return image;
}

TEST(CsvListing, CommonSettingsFollowTheSettingsVersion) {
  const std::string v3 = testing::CommonSection(FormatCsvListing(VersionedCommon(3), Lang::En));
  EXPECT_NE(v3.find("\r\nBusyOut Enable,OFF\r\nX-Pos. Start,EY1\r\n"), std::string::npos);
  EXPECT_NE(v3.find("\r\nY-Pos. Width,NONE\r\nAngleOut Start,EY6\r\nAngleOut Width,2BIT\r\n"
                    "WndwResltStart,EY1\r\nWndwResltWidth,NONE\r\nWindwResult2OR,ON\r\n"
                    "Light Control,NONE\r\nLightCntlPolar,NORMAL\r\nContinue Light,ON\r\n"
                    "DisplyPrcesImg,ALL-WNDW\r\n"),
            std::string::npos);
  EXPECT_EQ(Count(v3, "Target Window"), 0u);

  const std::string v2 = testing::CommonSection(FormatCsvListing(VersionedCommon(2), Lang::En));
  EXPECT_EQ(v2, Crlf(R"(
Type,KYR-TC
$$$ COMMON SETTINGS $$$
Settings Version,2
Bank Selection,SELECT
BankInputStart,EX1
BankInputWidth,1BIT 0,1
Trigger Mode,NONE
Trigger Input,HEADORDR
ForceTriggerIn,NONE
ForceOutputOff,NONE
Ext. Teach-in,NONE
Auto-Shutter,OFF
Auto-Contour,OFF
Auto-Threshold,ON
Auto-ColorExtr,NONE
Head Verify,NONE
Oneshot OK/NG,OFF
Off-DelayTimer,0
On-Delay Timer,0
RunOutputStart,EY1
RunOutputWidth,NONE
BusyOut Start,EY1
BusyOut Enable,OFF
Target Window,8
X-Pos. Start,EY1
X-Pos. Width,NONE
Y-Pos. Start,EY1
Y-Pos. Width,NONE
WndwResltStart,EY1
WndwResltWidth,NONE
Light Control,NONE
LightCntlPolar,NORMAL
Continue Light,ON
DisplyPrcesImg,ALL-WNDW
Save NG Image,NONE
No. of SaveImg,10
Green Gain,0
Red Gain,-1
Blue Gain,0
Window Frame,ON
Search Frame,STANDARD
Language,SELECT
Selected Bank No.,0
)"));

  const std::string v1 = testing::CommonSection(FormatCsvListing(VersionedCommon(1), Lang::En));
  EXPECT_NE(v1.find("Settings Version,1\r\n"), std::string::npos);
  EXPECT_NE(v1.find("\r\nBusyOut Enable,OFF\r\nTarget Window,8\r\nX-Pos. Start,EY1\r\n"),
            std::string::npos);
  EXPECT_NE(v1.find("\r\nLightCntlPolar,NORMAL\r\nDisplyPrcesImg,ALL-WNDW\r\n"), std::string::npos);
  EXPECT_EQ(Count(v1, "Continue Light"), 0u);
  EXPECT_EQ(Count(v1, "AngleOut"), 0u);
  EXPECT_EQ(Count(v1, "WindwResult2OR"), 0u);
}

// A version's file with bank 3 set apart from the others and its window 1 in use.
settings::SettingsImage DistinctBankImage(int version) {
  auto image = FreshImage();
  Word(image, CommonWord(0)) = static_cast<std::uint16_t>(version << 8 | 1);
  testing::SetDistinctBank(image, 3);
  testing::SetDistinctWindow(image, 3, 0);
  return image;
}

constexpr std::string_view kDistinctBankV3 = R"(
*** Bank No. = 3 ***
Bank Comment,AB
Shutter Speed, 1/30
Shutter Direct,1234
TargetBrightns,22
ImageDirection,MIRROR
Color Mode,COLOR
ContourRegistr,21
VariableShuttr,+/-8%
No. of CntShot,2 TIMES
CheckBrightnes,ACCURATE
X CCD Position,31
Y CCD Position,8
Light#1 Bright,17
Light#2 Bright,18
Light#3 Bright,19
Light Outputs,No.1+2
Trigger Delay,12345
Target Window,5
SearchFunction,OFF
Search Image,DIFFRENC
SearchAccuracy,FAST
SearchDiffCut,9
CorrelatnLimit,80.5%
Search Angle,+/-45
Angle Step,11.2
Magnify Retry,+/-6%
ProcessLmtTime,33
ProcesConstant,NG FAST
Sorting,MEMORY 8
Window Calc.,ADD
CoordLimit X±,11
CoordLimit Y±,12
AnglTargetWnd1,WINDOW2
AnglTargetWnd2,WINDOW16
Angle Limit ±,17.57
Output Polarty,INV-OR
ThrshldAccurcy,ROUGH
Error Contour,< 0.5%
TargetBrightns,77
Saturate Limit,6
Shutter Limit,3000
Search X-Pos.,43
Search Width,44
Search Y-Pos.,45
Search Height,46
Search X-Range,41
Search Y-Range,42
)";

constexpr std::string_view kDistinctBankV2 = R"(
*** Bank No. = 3 ***
Bank Comment,AB
Shutter Speed, 1/30
Shutter Direct,1234
TargetBrightns,22
ImageDirection,MIRROR
Color Mode,COLOR
ContourRegistr,21
VariableShuttr,+/-8%
No. of CntShot,2 TIMES
CheckBrightnes,ACCURATE
X CCD Position,31
Y CCD Position,8
Light#1 Bright,17
Light#2 Bright,18
Light#3 Bright,19
Light Outputs,No.1+2
Trigger Delay,12345
SearchFunction,OFF
Search Image,DIFFRENC
SearchAccuracy,FINE
CorrelatnLimit,80.5%
Search Angle,+/-45
Angle Step,11.2
Magnify Retry,+/-6%
ProcessLmtTime,33
Sorting,MEMORY 8
Output Polarty,INVERSE
ThrshldAccurcy,ROUGH
Error Contour,< 0.5%
TargetBrightns,77
Saturate Limit,6
Shutter Limit,3000
Search X-Pos.,43
Search Width,44
Search Y-Pos.,45
Search Height,46
Search X-Range,41
Search Y-Range,42
)";

// Window 1 of the distinct bank: CLRSHAPE in the pixel unit.
constexpr std::string_view kDistinctWindowV3 = R"(
*** Bank No. = 3  Window = 1 ***
Inspect Functn,CLRSHAPE
ContourThrshld,678
Stain Threshld,345
ContourExpanse,6
ContourJudgmnt,10
BlindBandWidth,5
Color Adjust,3
DarkCompensatn,9
ColorExtrAcrcy,ROUGH
BlueLowerBrtns,1
BlueUpperBrtns,2
RedLowerBrgtns,4
RedUpperBrgtns,5
GreenLowerBrgt,7
GreenUpperBrgt,8
Color Selection No.,3
Judgment Polar,INVERSE
Judgment Unit,x1 PIXEL
Ellips mask,55
PositionAdjust,11
Inspect X-Pos.,11
Inspect Width,12
Inspect Y-Pos.,13
Inspect Height,14
)";

TEST(CsvListing, BankAndWindowSectionsFollowTheSettingsVersion) {
  const std::string bank_heading = "*** Bank No. = 3 ***";
  const std::string window_heading = "*** Bank No. = 3  Window = 1 ***";

  const std::string v3 = FormatCsvListing(DistinctBankImage(3), Lang::En);
  EXPECT_EQ(Section(v3, bank_heading), Crlf(kDistinctBankV3));
  EXPECT_EQ(Section(v3, window_heading), Crlf(kDistinctWindowV3));

  // Version 2: the old places of accuracy, polarity, contour expansion and ellipse mask;
  // none of the version 3 settings; the target window stays in the common section.
  const std::string v2 = FormatCsvListing(DistinctBankImage(2), Lang::En);
  EXPECT_EQ(Section(v2, bank_heading), Crlf(kDistinctBankV2));
  std::string window_v2 = Crlf(kDistinctWindowV3);
  const auto replace = [](std::string& text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
  };
  replace(window_v2, "ContourExpanse,6\r\n", "ContourExpanse,5\r\n");  // window word 8 bits 4-7
  replace(window_v2, "Ellips mask,55\r\n", "Ellips mask,60%\r\n");     // item 6 of its list
  EXPECT_EQ(Section(v2, window_heading), window_v2);

  // Version 1: the bank's own continuous light, and the narrower position adjustment.
  const std::string v1 = FormatCsvListing(DistinctBankImage(1), Lang::En);
  std::string bank_v1 = Crlf(kDistinctBankV2);
  replace(bank_v1, "Light Outputs,No.1+2\r\n", "Light Outputs,No.1+2\r\nContinue Light,ON\r\n");
  EXPECT_EQ(Section(v1, bank_heading), bank_v1);
  std::string window_v1 = window_v2;
  replace(window_v1, "PositionAdjust,11\r\n", "PositionAdjust,3\r\n");
  EXPECT_EQ(Section(v1, window_heading), window_v1);
}

// Window sections 2 to 8 of a bank set up by SetDistinctWindow: functions 1 to 7.
constexpr std::string_view kFunctionWindows[] = {
    R"(
*** Bank No. = 31  Window = 2 ***
Inspect Functn,CONTOUR
ContourThrshld,6780
Stain Threshld,3450
ContourExpanse,6
ContourJudgmnt,10
BlindBandWidth,5
Judgment Polar,INVERSE
Judgment Unit,x10 PIXEL
Ellips mask,55
PositionAdjust,11
Inspect X-Pos.,11
Inspect Width,12
Inspect Y-Pos.,13
Inspect Height,14
)",
    R"(
*** Bank No. = 31  Window = 3 ***
Inspect Functn,DIFFERNC
Diff.Threshold,67800
Diff. Cutoff,7
Noise Filter,STRONG
Judgment Polar,INVERSE
Judgment Unit,x100 PIXEL
Ellips mask,55
PositionAdjust,11
Inspect X-Pos.,11
Inspect Width,12
Inspect Y-Pos.,13
Inspect Height,14
)",
    R"(
*** Bank No. = 31  Window = 4 ***
Inspect Functn,FULLCOLR
Diff.Threshold, 67.8%
Diff. Cutoff,7
Noise Filter,STRONG
Judgment Polar,INVERSE
Judgment Unit,%
Ellips mask,55
PositionAdjust,11
Inspect X-Pos.,11
Inspect Width,12
Inspect Y-Pos.,13
Inspect Height,14
)",
    R"(
*** Bank No. = 31  Window = 5 ***
Inspect Functn,COLRAREA
LowerAreaThrsh,678
UpperAreaThrsh,345
Color Adjust,3
DarkCompensatn,9
ColorExtrAcrcy,ROUGH
BlueLowerBrtns,1
BlueUpperBrtns,2
RedLowerBrgtns,4
RedUpperBrgtns,5
GreenLowerBrgt,7
GreenUpperBrgt,8
Color Selection No.,3
Judgment Polar,INVERSE
Judgment Unit,x1 PIXEL
Ellips mask,55
Inspect X-Pos.,11
Inspect Width,12
Inspect Y-Pos.,13
Inspect Height,14
)",
    R"(
*** Bank No. = 31  Window = 6 ***
Inspect Functn,STAIN
LowerAreaThrsh,6780
UpperAreaThrsh,3450
Judgment Polar,INVERSE
Judgment Unit,x10 PIXEL
Ellips mask,55
Inspect X-Pos.,11
Inspect Width,12
Inspect Y-Pos.,13
Inspect Height,14
)",
    R"(
*** Bank No. = 31  Window = 7 ***
Inspect Functn,
LowerAreaThrsh,67800
UpperAreaThrsh,34500
Judgment Polar,INVERSE
Judgment Unit,x100 PIXEL
Ellips mask,55
PositionAdjust,11
Inspect X-Pos.,11
Inspect Width,12
Inspect Y-Pos.,13
Inspect Height,14
)",
    R"(
*** Bank No. = 31  Window = 8 ***
Inspect Functn,
LowerAreaThrsh, 67.8%
UpperAreaThrsh, 34.5%
Judgment Polar,INVERSE
Judgment Unit,%
Ellips mask,55
PositionAdjust,11
Inspect X-Pos.,11
Inspect Width,12
Inspect Y-Pos.,13
Inspect Height,14
)",
};

TEST(CsvListing, EveryRegisteredBankAndUsedWindowIsListedByItsFunction) {
  auto image = FreshImage();
  for (int bank = 0; bank < 32; ++bank) {
    testing::SetDistinctBank(image, bank);
    for (int w = 0; w < 16; ++w) testing::SetDistinctWindow(image, bank, w);
  }
  const std::string listing = FormatCsvListing(image, Lang::En);
  EXPECT_EQ(Count(listing, "This is unregistered bank."), 0u);
  EXPECT_EQ(Count(listing, "\r\n\r\n*** Bank No. = "), 32u + 512u);
  EXPECT_EQ(Count(listing, "  Window = "), 512u);
  EXPECT_EQ(Count(listing, "\r\nBank Comment,AB\r\n"), 32u);
  EXPECT_EQ(Count(listing, "\r\nCoordLimit X±,11\r\n"), 32u);  // always window 1's value

  std::string window1 = Crlf(kDistinctWindowV3);
  window1.replace(window1.find("3  Window"), 1, "31");
  EXPECT_EQ(Section(listing, "*** Bank No. = 31  Window = 1 ***"), window1);
  for (int w = 2; w <= 8; ++w) {
    const std::string heading = "*** Bank No. = 31  Window = " + std::to_string(w) + " ***";
    EXPECT_EQ(Section(listing, heading), Crlf(kFunctionWindows[w - 2]));
  }
  // Windows 9 to 16 repeat the set-up of windows 1 to 8.
  std::string window16 = Crlf(kFunctionWindows[6]);
  window16.replace(window16.find("Window = 8"), 10, "Window = 16");
  EXPECT_EQ(Section(listing, "*** Bank No. = 31  Window = 16 ***"), window16);
  EXPECT_EQ(listing.size() - listing.rfind("*** Bank No. = 31  Window = 16 ***"),
            window16.size());  // the listing ends with the last window's section
}

TEST(CsvListing, UnusedWindowsAndUnregisteredBanksListNothingMore) {
  auto image = FreshImage();
  testing::SetDistinctBank(image, 0);
  testing::SetDistinctWindow(image, 0, 4);
  Word(image, WindowWord(0, 4, 2)) &= 0xFFFE;  // window 5 set up but not in use
  testing::SetDistinctWindow(image, 1, 0);     // a used window of an unregistered bank
  const std::string listing = FormatCsvListing(image, Lang::En);
  EXPECT_EQ(Count(listing, "Window ="), 0u);
  EXPECT_EQ(Count(listing, "This is unregistered bank."), 31u);
  EXPECT_NE(listing.find("Search Y-Range,42\r\n\r\n*** Bank No. = 1 ***\r\n"
                         "This is unregistered bank.\r\n\r\n*** Bank No. = 2 ***\r\n"),
            std::string::npos);
}

TEST(CsvListing, ExamplesOfSingleValues) {
  auto image = FreshImage();
  const auto bank_selection = [&](std::uint16_t stored) {
    Word(image, CommonWord(9)) = stored;
    const std::string listing = FormatCsvListing(image, Lang::En);
    const std::size_t at = listing.find("Bank Selection,");
    return listing.substr(at, listing.find('\r', at) - at);
  };
  EXPECT_EQ(bank_selection(5), "Bank Selection,5");
  EXPECT_EQ(bank_selection(0), "Bank Selection,0");
  EXPECT_EQ(bank_selection(31), "Bank Selection,31");
  EXPECT_EQ(bank_selection(32), "Bank Selection,EXTINPUT");
  EXPECT_EQ(bank_selection(33), "Bank Selection,SELECT");
  EXPECT_EQ(bank_selection(34), "Bank Selection,COMMUNIC");
  EXPECT_EQ(bank_selection(35), "Bank Selection,");
  EXPECT_EQ(bank_selection(0x0121), "Bank Selection,SELECT");  // by the low byte
  EXPECT_EQ(bank_selection(0x0100), "Bank Selection,");

  // A reset COLRAREA window: thresholds 20 and 1000 in percent.
  image = FreshImage();
  Word(image, BankWord(0, 5)) &= 0x7FFF;
  Word(image, WindowWord(0, 0, 2)) = 0x2545;
  std::string listing = FormatCsvListing(image, Lang::En);
  EXPECT_NE(listing.find("\r\n*** Bank No. = 0  Window = 1 ***\r\nInspect Functn,COLRAREA\r\n"
                         "LowerAreaThrsh,  2.0%\r\nUpperAreaThrsh,100.0%\r\n"),
            std::string::npos);
  // The same threshold of 20 in tens of pixels.
  Word(image, WindowWord(0, 0, 5)) = 0x2780;
  listing = FormatCsvListing(image, Lang::En);
  EXPECT_NE(listing.find("\r\nLowerAreaThrsh,200\r\nUpperAreaThrsh,10000\r\n"), std::string::npos);
  EXPECT_NE(listing.find("\r\nWindow Calc.,SUBTRACT\r\n"), std::string::npos);

  // A foreign model is listed all the same, with its type undefined.
  image = FreshImage();
  Word(image, CommonWord(0)) = 0x0302;
  listing = FormatCsvListing(image, Lang::En);
  EXPECT_TRUE(listing.starts_with("Type,Undefined Type\r\n$$$ COMMON SETTINGS $$$\r\n"));
  EXPECT_EQ(Count(listing, "\r\n"), Count(FormatCsvListing(FreshImage(), Lang::En), "\r\n"));
}

TEST(CsvListing, JapaneseListingUsesTheJapaneseTexts) {
  auto image = FreshImage();
  Word(image, CommonWord(15)) = 0x2000;
  Word(image, BankWord(0, 5)) &= 0x7FFF;
  testing::SetDistinctWindow(image, 0, 0);  // unit selector 1
  std::string listing = FormatCsvListing(image, Lang::Ja);
  EXPECT_TRUE(listing.starts_with("機種,KYR-TC\r\n$$$ 共通設定 $$$\r\n"));
  EXPECT_NE(listing.find("\r\nウィンドウ結果2OR,あり\r\n"), std::string::npos);
  EXPECT_NE(listing.find("\r\n\r\n*** バンク No. = 0  ウィンドウ = 1 ***\r\n"), std::string::npos);
  EXPECT_NE(listing.find("\r\n判定要素,x1画素\r\n"), std::string::npos);
  EXPECT_NE(listing.find("\r\n\r\n*** バンク No. = 1 ***\r\n未登録のバンクです。\r\n"),
            std::string::npos);

  // The Japanese list of the combination has two items: a third value lists nothing.
  Word(image, CommonWord(15)) = 0x4000;
  listing = FormatCsvListing(image, Lang::Ja);
  EXPECT_NE(listing.find("\r\nウィンドウ結果2OR,\r\n"), std::string::npos);
  EXPECT_NE(FormatCsvListing(image, Lang::En).find("\r\nWindwResult2OR,SHIFT\r\n"),
            std::string::npos);
}

}  // namespace
}  // namespace kyr::csv
