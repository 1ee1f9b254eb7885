#include "csv/value_text.h"

#include <gtest/gtest.h>

#include <string>

#include "settings/settings_image.h"

namespace kyr::csv {
namespace {

// Items, thresholds, tenths and angles beyond the values the listing tests show.
TEST(CsvValueText, ItemsAndNumbersAtTheirLimits) {
  EXPECT_EQ(ChoiceItem(3, "DIRECT; 1/7; 1/10;"), "");  // at the number of items
  EXPECT_EQ(ChoiceItem(200, "DIRECT; 1/7; 1/10;"), "");
  EXPECT_EQ(ChoiceItem(0, ""), "");      // a list with no text in this language
  EXPECT_EQ(ChoiceItem(1, "A;B"), "B");  // the last item may run to the end of the text
  EXPECT_EQ(ChoiceItem(0, std::string(95, 'x') + ";"), std::string(90, 'x'));
  // 89 ASCII bytes and a three-byte character: the character is dropped whole.
  EXPECT_EQ(ChoiceItem(0, std::string(89, 'x') + "画;"), std::string(89, 'x'));

  EXPECT_EQ(FormatThreshold(0, 0), "  0.0%");
  EXPECT_EQ(FormatThreshold(0, 5), "  0.5%");
  EXPECT_EQ(FormatThreshold(0, 1023), "102.3%");  // ten bits hold more than 1000
  EXPECT_EQ(FormatThreshold(3, 1023), "102300");
  EXPECT_EQ(FormatTenthsPercent(7), "0.7%");
  EXPECT_EQ(FormatTenthsPercent(1023), "102.3%");
  EXPECT_EQ(FormatAngle(1), "0.17");
  EXPECT_EQ(FormatAngle(255), "44.82");
  EXPECT_EQ(FormatAngle(6), "1.05");  // 105 hundredths: the zero tenth stays
}

TEST(CsvValueText, BankCommentReadsLowByteFirstUpToTheFirstZero) {
  settings::SettingsImage image{};
  const auto word = [&](int bank, int k) -> std::uint16_t& {
    return image[static_cast<std::size_t>(settings::BankWord(bank, 18 + k))];
  };
  word(0, 0) = 0x4241;  // "AB"
  word(0, 1) = 0x2043;  // "C "
  word(0, 2) = 0x0044;  // "D", then the end
  word(0, 3) = 0x4545;  // after the end: not shown
  EXPECT_EQ(BankCommentText(image, 0), "ABC D");

  word(1, 0) = 0;       // no first two characters: two blanks stand for them
  word(1, 1) = 0x5958;  // "XY"
  EXPECT_EQ(BankCommentText(image, 1), "  XY");
  EXPECT_EQ(BankCommentText(image, 2), "  ");

  for (int k = 0; k < 10; ++k) word(3, k) = 0x3130;  // twenty characters, no terminator
  EXPECT_EQ(BankCommentText(image, 3), "01010101010101010101");
  word(3, 9) = 0x0031;  // a zero high byte ends the text after "1"
  EXPECT_EQ(BankCommentText(image, 3), "0101010101010101011");
}

}  // namespace
}  // namespace kyr::csv
