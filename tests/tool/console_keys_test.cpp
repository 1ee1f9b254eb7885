#include "tool/console_keys.h"

#include <gtest/gtest.h>

namespace kyr::tool {
namespace {

constexpr bool kRunning = true;
constexpr bool kStopped = false;

TEST(ConsoleKeys, DigitsArrowsAndEscapeAreConsumedWithTheirCodes) {
  const int digit_codes[10] = {3, 6, 7, 8, 9, 10, 11, 12, 13, 14};
  for (int digit = 0; digit < 10; ++digit) {
    const ConsoleKey top_row =
        LookUpConsoleKey(kVkDigit0 + digit, KeyFocus::kOtherControl, kRunning);
    const ConsoleKey pad = LookUpConsoleKey(kVkNumpad0 + digit, KeyFocus::kOtherControl, kRunning);
    EXPECT_TRUE(top_row.consumed && pad.consumed) << digit;
    EXPECT_EQ(top_row.code, digit_codes[digit]) << digit;
    EXPECT_EQ(pad.code, digit_codes[digit]) << digit;
  }
  EXPECT_EQ(LookUpConsoleKey(kVkUp, KeyFocus::kButton, kRunning).code, 13);
  EXPECT_EQ(LookUpConsoleKey(kVkDown, KeyFocus::kButton, kRunning).code, 7);
  EXPECT_EQ(LookUpConsoleKey(kVkLeft, KeyFocus::kButton, kRunning).code, 9);
  EXPECT_EQ(LookUpConsoleKey(kVkRight, KeyFocus::kButton, kRunning).code, 11);
  EXPECT_EQ(LookUpConsoleKey(kVkHome, KeyFocus::kNoControl, kRunning).code, 1);
  EXPECT_EQ(LookUpConsoleKey(kVkDelete, KeyFocus::kNoControl, kRunning).code, 4);
  const ConsoleKey escape = LookUpConsoleKey(kVkEscape, KeyFocus::kButton, kRunning);
  EXPECT_TRUE(escape.consumed);
  EXPECT_EQ(escape.code, 5);
  EXPECT_FALSE(escape.click_button);
  // Keys the table does not list pass on untouched: letters, Tab, space, F1, Page Up.
  for (int key : {65, 9, 32, 112, 33}) {
    EXPECT_FALSE(LookUpConsoleKey(key, KeyFocus::kOtherControl, kRunning).consumed) << key;
  }
}

TEST(ConsoleKeys, EnterClicksAButtonAndOtherwiseSaysWhereTheFocusIs) {
  const ConsoleKey on_button = LookUpConsoleKey(kVkReturn, KeyFocus::kButton, kRunning);
  EXPECT_TRUE(on_button.consumed && on_button.click_button);
  EXPECT_EQ(on_button.code, 1);
  const ConsoleKey on_box = LookUpConsoleKey(kVkReturn, KeyFocus::kOtherControl, kRunning);
  EXPECT_TRUE(on_box.consumed);
  EXPECT_FALSE(on_box.click_button);
  EXPECT_EQ(on_box.code, 2);
  const ConsoleKey elsewhere = LookUpConsoleKey(kVkReturn, KeyFocus::kNoControl, kRunning);
  EXPECT_FALSE(elsewhere.click_button);
  EXPECT_EQ(elsewhere.code, 1);
}

TEST(ConsoleKeys, WithTheMonitorStoppedOnlyEnterOnAButtonIsTaken) {
  const int keys[] = {kVkDigit0 + 0, kVkDigit0 + 9, kVkNumpad0 + 5, kVkHome,   kVkLeft,
                      kVkRight,      kVkUp,         kVkDown,        kVkDelete, kVkEscape};
  for (int key : keys) {
    for (KeyFocus focus : {KeyFocus::kButton, KeyFocus::kOtherControl, KeyFocus::kNoControl}) {
      EXPECT_FALSE(LookUpConsoleKey(key, focus, kStopped).consumed) << key;
    }
  }
  const ConsoleKey on_button = LookUpConsoleKey(kVkReturn, KeyFocus::kButton, kStopped);
  EXPECT_TRUE(on_button.consumed && on_button.click_button);
  EXPECT_EQ(on_button.code, 0);
  EXPECT_FALSE(LookUpConsoleKey(kVkReturn, KeyFocus::kOtherControl, kStopped).consumed);
  EXPECT_FALSE(LookUpConsoleKey(kVkReturn, KeyFocus::kNoControl, kStopped).consumed);
}

}  // namespace
}  // namespace kyr::tool
