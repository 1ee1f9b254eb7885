#include "editor/value_entry.h"

#include <gtest/gtest.h>

namespace kyr::editor {
namespace {

std::optional<std::uint16_t> Some(int v) {
  return static_cast<std::uint16_t>(v);
}
constexpr std::nullopt_t kRefused = std::nullopt;

TEST(ValueEntry, IntegersReadAsStrtoulAndCheckedWithTheOffset) {
  // Text around the digits.
  EXPECT_EQ(StoredFromInteger("", 4095, 0), Some(0));
  EXPECT_EQ(StoredFromInteger("abc", 4095, 0), Some(0));
  EXPECT_EQ(StoredFromInteger("12abc", 4095, 0), Some(12));
  EXPECT_EQ(StoredFromInteger("- 5", 4095, 0), Some(0));  // no digits after the sign
  // Bounds of a whole-word field.
  EXPECT_EQ(StoredFromInteger("4095", 4095, 0), Some(4095));
  EXPECT_EQ(StoredFromInteger("4096", 4095, 0), kRefused);
  EXPECT_EQ(StoredFromInteger("-1", 4095, 0), kRefused);
  // A gain (offset 3) and "Target Window" (offset -1).
  EXPECT_EQ(StoredFromInteger("-3", 7, 3), Some(0));
  EXPECT_EQ(StoredFromInteger("4", 7, 3), Some(7));
  EXPECT_EQ(StoredFromInteger("5", 7, 3), kRefused);
  EXPECT_EQ(StoredFromInteger("-4", 7, 3), kRefused);
  EXPECT_EQ(StoredFromInteger("16", 15, -1), Some(15));
  EXPECT_EQ(StoredFromInteger("17", 15, -1), kRefused);
  // Entries that a 16-bit wrap-around would bring back into range are refused.
  EXPECT_EQ(StoredFromInteger("65536", 4095, 0), kRefused);
  EXPECT_EQ(StoredFromInteger("65539", 7, 3), kRefused);
  EXPECT_EQ(StoredFromInteger("99999999999999999999", 65535, 0), kRefused);
  // The strtoul reading itself: negation modulo 2^32, saturation beyond 32 bits.
  EXPECT_EQ(ReadLikeStrtoul("-1"), 4294967295u);
  EXPECT_EQ(ReadLikeStrtoul("4294967296"), 4294967295u);
  EXPECT_EQ(ReadLikeStrtoul("-4294967295"), 1u);
}

TEST(ValueEntry, TenthsTruncateAndCountsDivideByUnit) {
  EXPECT_EQ(StoredFromTenths("12.34", 1000, 0, 0), Some(123));
  EXPECT_EQ(StoredFromTenths("0.09", 1000, 0, 0), Some(0));
  EXPECT_EQ(StoredFromTenths("50.0%", 1000, 0, 0), Some(500));
  EXPECT_EQ(StoredFromTenths("100.0", 1000, 0, 0), Some(1000));
  EXPECT_EQ(StoredFromTenths("100.05", 1000, 0, 0), Some(1000));
  EXPECT_EQ(StoredFromTenths("100.1", 1000, 0, 0), kRefused);
  EXPECT_EQ(StoredFromTenths("-0.05", 1000, 0, 0), Some(0));
  EXPECT_EQ(StoredFromTenths("-0.1", 1000, 0, 0), kRefused);
  EXPECT_EQ(StoredFromTenths("1e2", 1000, 0, 0), Some(1000));
  EXPECT_EQ(StoredFromTenths("6553.6", 1000, 0, 0), kRefused);  // would wrap to 0
  EXPECT_EQ(StoredFromTenths("inf", 1000, 0, 0), kRefused);
  // Pixel counts: ones, tens, hundreds.
  EXPECT_EQ(StoredFromTenths("5009", 1000, 0, 2), Some(500));
  EXPECT_EQ(StoredFromTenths("100099", 1000, 0, 3), Some(1000));
  EXPECT_EQ(StoredFromTenths("100100", 1000, 0, 3), kRefused);
  EXPECT_EQ(StoredFromTenths("12.9", 1000, 0, 1), Some(12));
  EXPECT_EQ(StoredFromTenths("-5", 1000, 0, 2), kRefused);
  EXPECT_EQ(StoredFromTenths("99999999999", 1000, 0, 3), kRefused);
  // strtod's other forms.
  EXPECT_DOUBLE_EQ(ReadLikeStrtod("  +.5x"), 0.5);
  EXPECT_DOUBLE_EQ(ReadLikeStrtod("0x10"), 16.0);
  EXPECT_DOUBLE_EQ(ReadLikeStrtod("1e-999"), 0.0);
}

TEST(ValueEntry, AnglesRoundToTheNearestCount) {
  EXPECT_EQ(StoredFromAngle("44.82", 255, 0), Some(255));
  EXPECT_EQ(StoredFromAngle("44.83", 255, 0), Some(255));
  EXPECT_EQ(StoredFromAngle("44.92", 255, 0), kRefused);
  EXPECT_EQ(StoredFromAngle("0.08", 255, 0), Some(0));
  EXPECT_EQ(StoredFromAngle("0.09", 255, 0), Some(1));
  EXPECT_EQ(StoredFromAngle("-0.05", 255, 0), Some(0));
  EXPECT_EQ(StoredFromAngle("-0.3", 255, 0), kRefused);
  // Every shown value reads back as the stored value.
  for (unsigned x = 0; x <= 255; ++x) EXPECT_EQ(StoredFromAngle(AngleText(x), 255, 0), Some(x));
}

TEST(ValueEntry, ShownTexts) {
  EXPECT_EQ(IntegerText(0, 3), "-3");
  EXPECT_EQ(TenthsText(5), "0.5");
  EXPECT_EQ(AngleText(1), "0.17");
  EXPECT_EQ(AngleText(100), "17.57");
  EXPECT_EQ(ThresholdText(500, 2), "5000");
  EXPECT_EQ(RangeText(NumberFormat::kInteger, 4095, 0), " 0 \xEF\xBD\x9E 4095)");
}

}  // namespace
}  // namespace kyr::editor
