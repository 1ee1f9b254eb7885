#include "tool/console_keys.h"

#include <gtest/gtest.h>

namespace kyr::tool {
namespace {

TEST(ConsoleKeys, DigitsArrowsAndEscapeAreConsumedWithTheirCodes) {
  const int digit_codes[10] = {3, 6, 7, 8, 9, 10, 11, 12, 13, 14};
  for (int digit = 0; digit < 10; ++digit) {
    const ConsoleKey top_row = LookUpConsoleKey(kVkDigit0 + digit, KeyFocus::kOtherControl);
    const ConsoleKey pad = LookUpConsoleKey(kVkNumpad0 + digit, KeyFocus::kOtherControl);
    EXPECT_TRUE(top_row.consumed && pad.consumed) << digit;
    EXPECT_EQ(top_row.code, digit_codes[digit]) << digit;
    EXPECT_EQ(pad.code, digit_codes[digit]) << digit;
  }
  EXPECT_EQ(LookUpConsoleKey(kVkUp, KeyFocus::kButton).code, 13);
  EXPECT_EQ(LookUpConsoleKey(kVkDown, KeyFocus::kButton).code, 7);
  EXPECT_EQ(LookUpConsoleKey(kVkLeft, KeyFocus::kButton).code, 9);
  EXPECT_EQ(LookUpConsoleKey(kVkRight, KeyFocus::kButton).code, 11);
  EXPECT_EQ(LookUpConsoleKey(kVkHome, KeyFocus::kNoControl).code, 1);
  EXPECT_EQ(LookUpConsoleKey(kVkDelete, KeyFocus::kNoControl).code, 4);
  const ConsoleKey escape = LookUpConsoleKey(kVkEscape, KeyFocus::kButton);
  EXPECT_TRUE(escape.consumed);
  EXPECT_EQ(escape.code, 5);
  EXPECT_FALSE(escape.click_button);
  // Keys the table does not list pass on untouched: letters, Tab, space, F1, Page Up.
  for (int key : {65, 9, 32, 112, 33}) {
    EXPECT_FALSE(LookUpConsoleKey(key, KeyFocus::kOtherControl).consumed) << key;
  }
}

TEST(ConsoleKeys, EnterClicksAButtonAndOtherwiseSaysWhereTheFocusIs) {
  const ConsoleKey on_button = LookUpConsoleKey(kVkReturn, KeyFocus::kButton);
  EXPECT_TRUE(on_button.consumed && on_button.click_button);
  EXPECT_EQ(on_button.code, 1);
  const ConsoleKey on_box = LookUpConsoleKey(kVkReturn, KeyFocus::kOtherControl);
  EXPECT_TRUE(on_box.consumed);
  EXPECT_FALSE(on_box.click_button);
  EXPECT_EQ(on_box.code, 2);
  const ConsoleKey elsewhere = LookUpConsoleKey(kVkReturn, KeyFocus::kNoControl);
  EXPECT_FALSE(elsewhere.click_button);
  EXPECT_EQ(elsewhere.code, 1);
}

}  // namespace
}  // namespace kyr::tool
