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
using testing::Golden;
using testing::Section;
using testing::Word;

TEST(CsvListing, FreshFileListsTheCommonSettingsAndThirtyTwoUnregisteredBanks) {
  EXPECT_EQ(FormatCsvListing(FreshImage(), Lang::En), Crlf(Golden("fresh.csv")));
}

// A version's file whose common settings that move between versions each have a value of
// their own, with bank 3 set apart from the others and its window 1 in use.
settings::SettingsImage VersionedImage(int version) {
  auto image = FreshImage();
  Word(image, CommonWord(0)) = static_cast<std::uint16_t>(version << 8 | 1);
  Word(image, CommonWord(13)) = 0x7000;  // old target window 7 (shown 8)
  Word(image, CommonWord(15)) = 0x2000;  // window result combination 1
  Word(image, CommonWord(16)) = 0x101C;  // continuous light on
  Word(image, CommonWord(20)) = 0x0085;  // angle output from EY6, 2 bits
  testing::SetDistinctBank(image, 3);
  testing::SetDistinctWindow(image, 3, 0);
  return image;
}

// Each older version's listing is kept as its difference from the next newer one: version 2
// lists the target window among the common settings, the old places of accuracy, polarity,
// contour expansion and ellipse mask, and none of the version 3 settings; version 1 lists the
// bank's own continuous light and the narrower position adjustment.
TEST(CsvListing, ListingFollowsTheSettingsVersion) {
  const std::string v3 = Golden("versions_v3.csv");
  EXPECT_EQ(FormatCsvListing(VersionedImage(3), Lang::En), Crlf(v3));
  const std::string v2 = testing::ApplyUnifiedDiff(v3, Golden("versions_v2.diff"));
  EXPECT_EQ(FormatCsvListing(VersionedImage(2), Lang::En), Crlf(v2));
  const std::string v1 = testing::ApplyUnifiedDiff(v2, Golden("versions_v1.diff"));
  EXPECT_EQ(FormatCsvListing(VersionedImage(1), Lang::En), Crlf(v1));
}

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

  // Window 1 as in the version 3 listing of bank 3; windows 2 to 8 (functions 1 to 7) from
  // their golden file.
  std::string window1 =
      Section(Crlf(Golden("versions_v3.csv")), "*** Bank No. = 3  Window = 1 ***");
  window1.replace(window1.find("3  Window"), 1, "31");
  EXPECT_EQ(Section(listing, "*** Bank No. = 31  Window = 1 ***"), window1);
  const std::string functions = Crlf(Golden("function_windows.csv"));
  for (int w = 2; w <= 8; ++w) {
    const std::string heading = "*** Bank No. = 31  Window = " + std::to_string(w) + " ***";
    EXPECT_EQ(Section(listing, heading), Section("\r\n\r\n" + functions, heading));
  }
  // Windows 9 to 16 repeat the set-up of windows 1 to 8.
  std::string window16 = Section("\r\n\r\n" + functions, "*** Bank No. = 31  Window = 8 ***");
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
