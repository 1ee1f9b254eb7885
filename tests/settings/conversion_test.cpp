#include <gtest/gtest.h>

#include "settings/conversion.h"
#include "settings/initial_values.h"
#include "settings/test_support.h"

namespace kyr::settings {
namespace {

struct Fixture {
  SettingsImage image{};
  CommentTexts comments{};
  int questions = 0;

  explicit Fixture(std::uint16_t version_word) {
    InitializeSettings(image, comments);
    image[CommonWord(0)] = version_word;
  }
  AfterRead Read(bool answer) {
    return ConvertAfterRead(image, comments, [&] {
      ++questions;
      return answer;
    });
  }
};

TEST(ConvertAfterRead, OlderVersionsAskOnceAndNewerAreLeftAlone) {
  Fixture v1(0x0101);
  for (int w = 0; w < kWindowCount; ++w) v1.image[WindowWord(31, w, 9)] = 0xFFFF;
  const SettingsImage before = v1.image;
  EXPECT_EQ(v1.Read(false), AfterRead::kKeptVersion2);
  EXPECT_EQ(v1.questions, 1);
  EXPECT_EQ(v1.image[CommonWord(0)], 0x0201);
  for (int w = 0; w < kWindowCount; ++w) EXPECT_EQ(v1.image[WindowWord(31, w, 9)], 0xFEFF);
  int changed = 0;
  for (int i = 0; i < kWordCount; ++i) changed += v1.image[i] != before[i];
  EXPECT_EQ(changed, 1 + kWindowCount);  // bit 8 was already clear elsewhere

  Fixture v0(0x0001);  // a version byte of 0 is taken as version 1
  EXPECT_EQ(v0.Read(true), AfterRead::kConverted);
  EXPECT_EQ(v0.image[CommonWord(0)], 0x0301);

  for (int word : {0x0301, 0x0401, 0xFF01}) {
    Fixture newer(static_cast<std::uint16_t>(word));
    newer.image[CommonWord(39)] = 0x1234;
    const SettingsImage as_read = newer.image;
    EXPECT_EQ(newer.Read(true), AfterRead::kLatest);
    EXPECT_EQ(newer.questions, 0);
    EXPECT_EQ(newer.image, as_read);
  }
}

TEST(ConvertAfterRead, ForeignModelIsReplacedByInitialValues) {
  Fixture foreign(0x0302);
  foreign.image[BankWord(3, 18)] = 0x4241;
  foreign.image[BankWord(3, 1)] = 7;
  EXPECT_EQ(foreign.Read(true), AfterRead::kForeignModel);
  EXPECT_EQ(foreign.questions, 0);
  SettingsImage initial{};
  CommentTexts initial_comments{};
  InitializeSettings(initial, initial_comments);
  EXPECT_EQ(foreign.image[BankWord(3, 1)], initial[BankWord(3, 1)]);
  EXPECT_EQ(foreign.image[CommonWord(0)], 0x0301);
  EXPECT_EQ(foreign.comments, initial_comments);
  // Words a reset does not write keep what the file had.
  EXPECT_EQ(foreign.image[BankWord(3, 18)], 0x4241);
}

TEST(ConvertVersion2To3, MovesFieldsAsDocumented) {
  Fixture file(0x0201);
  auto& image = file.image;
  image[CommonWord(39)] = 0xABCD;
  image[BankWord(0, 28)] = 0x1000;
  image[BankWord(1, 28)] = 0x3000;
  image[BankWord(2, 28)] = 0xF0A5;  // old accuracy 3, stray high bits dropped, low byte kept
  image[BankWord(3, 28)] = 0x0000;
  image[BankWord(0, 7)] = 0x0001;
  image[BankWord(1, 7)] = 0x0031;
  image[BankWord(2, 7)] = 0x0030;
  image[BankWord(3, 7)] = 0xFFC1;  // correlation limit bits survive
  image[WindowWord(5, 2, 4)] = 0x3780;
  image[WindowWord(5, 2, 8)] = 0x0052;
  image[WindowWord(5, 2, 9)] = 0x004A;
  image[WindowWord(6, 0, 4)] = 0xA000;  // ellipse mask item 10 (100%)
  image[WindowWord(6, 0, 9)] = 0xFFFF;
  // Position outputs unused: the banks keep their own target window bits.
  image[CommonWord(13)] = 0x7000;
  image[CommonWord(14)] = 0x0000;
  image[BankWord(9, 13)] = 0x2110;

  EXPECT_EQ(file.Read(true), AfterRead::kConverted);
  EXPECT_EQ(image[CommonWord(0)], 0x0301);
  EXPECT_EQ(image[CommonWord(39)], 0);
  EXPECT_EQ(image[BankWord(0, 28)], 0x4200);
  EXPECT_EQ(image[BankWord(1, 28)], 0x0200);
  EXPECT_EQ(image[BankWord(2, 28)], 0x02A5);
  EXPECT_EQ(image[BankWord(3, 28)], 0x2200);
  EXPECT_EQ(image[BankWord(0, 7)], 0x0010);
  EXPECT_EQ(image[BankWord(1, 7)], 0x0010);
  EXPECT_EQ(image[BankWord(2, 7)], 0x0000);
  EXPECT_EQ(image[BankWord(3, 7)], 0xFFD0);
  EXPECT_EQ(image[WindowWord(5, 2, 4)], 0x5780);
  EXPECT_EQ(image[WindowWord(5, 2, 8)], 0x0002);
  EXPECT_EQ(image[WindowWord(5, 2, 9)] >> 9, 30);
  EXPECT_EQ(image[WindowWord(5, 2, 9)] & 0x1FF, 0x004A);
  EXPECT_EQ(image[WindowWord(6, 0, 9)], (100 << 9) | 0x1FF);
  EXPECT_EQ(image[WindowWord(6, 0, 4)], 0x0000);
  EXPECT_EQ(image[BankWord(9, 13)], 0x2110);

  // With a position output in use, every bank takes the common target window.
  for (auto [w13, w14] : {std::pair{0x7040, 0x0000}, std::pair{0x7000, 0x0200}}) {
    Fixture used(0x0201);
    used.image[CommonWord(13)] = static_cast<std::uint16_t>(w13);
    used.image[CommonWord(14)] = static_cast<std::uint16_t>(w14);
    used.image[BankWord(9, 13)] = 0x2110;
    used.Read(true);
    EXPECT_EQ(used.image[BankWord(9, 13)], 0x7110);
    EXPECT_EQ(used.image[BankWord(0, 13)], 0x7110);
  }
}

TEST(ConvertForHead, DowngradesAsDocumented) {
  SettingsImage image{};
  CommentTexts comments{};
  InitializeSettings(image, comments);
  for (int x = 0; x < 8; ++x)
    image[BankWord(x, 28)] = static_cast<std::uint16_t>(0x8F5A | (x << 12));
  const int expected_accuracy[8] = {3, 0, 0, 1, 1, 2, 2, 3};
  image[BankWord(0, 7)] = 0xFFFF;
  image[BankWord(0, 13)] = 0xB110;
  image[CommonWord(12)] = 0x00D4;  // start 20: clipped to 19
  image[CommonWord(20)] = 0x0013;  // start 19: kept
  image[CommonWord(22)] = 0xFF3F;
  image[CommonWord(16)] = 0x0078;  // one-shot item 3: becomes 1
  image[WindowWord(4, 4, 4)] = 0x5780;
  image[WindowWord(4, 4, 8)] = 0xFFF2;
  image[WindowWord(4, 4, 9)] = static_cast<std::uint16_t>((30 << 9) | 0x4A);

  ConvertVersion3To2(image);
  EXPECT_EQ(image[CommonWord(0)], 0x0201);
  for (int x = 0; x < 8; ++x) {
    EXPECT_EQ(image[BankWord(x, 28)], 0x005A | (expected_accuracy[x] << 12)) << x;
  }
  EXPECT_EQ(image[BankWord(0, 7)], 0xFFCE);
  EXPECT_EQ(image[CommonWord(13)] >> 12, 0xB);
  EXPECT_EQ(image[CommonWord(12)], 0x00D3);
  EXPECT_EQ(image[CommonWord(20)], 0x0013);
  EXPECT_EQ(image[CommonWord(22)], 0xFF13);
  EXPECT_EQ(image[CommonWord(16)], 0x0038);
  EXPECT_EQ(image[WindowWord(4, 4, 8)], 0x0052);
  EXPECT_EQ(image[WindowWord(4, 4, 4)], 0x3780);

  image[WindowWord(4, 5, 9)] = 0x01E0;
  image[WindowWord(4, 5, 8)] = 0x0052;
  image[WindowWord(4, 6, 9)] = 0x00C0;
  ConvertVersion2To1(image);
  EXPECT_EQ(image[CommonWord(0)], 0x0101);
  EXPECT_EQ(image[WindowWord(4, 5, 9)], 0xFFE0);
  EXPECT_EQ(image[WindowWord(4, 5, 8)], 0xFF52);
  EXPECT_EQ(image[WindowWord(4, 6, 9)], 0xFFC0);  // 6 fits in three bits
}

TEST(ConvertForHead, ChainsStepsAndUndoesWindowMoves) {
  SettingsImage image{};
  CommentTexts comments{};
  InitializeSettings(image, comments);
  image[WindowWord(2, 3, 4)] = 0x3780;
  image[WindowWord(2, 3, 8)] = 0x0052;
  image[WindowWord(2, 3, 9)] = 0x004A;
  image[CommonWord(0)] = 0x0201;
  const SettingsImage version2 = image;

  ASSERT_TRUE(ConvertToHeadVersion(image, 3));
  EXPECT_EQ(image[CommonWord(0)], 0x0301);
  ASSERT_TRUE(ConvertToHeadVersion(image, 2));
  EXPECT_EQ(image[WindowWord(2, 3, 4)], version2[WindowWord(2, 3, 4)]);
  EXPECT_EQ(image[WindowWord(2, 3, 8)], version2[WindowWord(2, 3, 8)]);

  ASSERT_TRUE(ConvertToHeadVersion(image, 3));
  ASSERT_TRUE(ConvertToHeadVersion(image, 1));  // 3 to 2, then 2 to 1
  EXPECT_EQ(image[CommonWord(0)], 0x0101);
  EXPECT_EQ(image[WindowWord(2, 3, 8)], 0xFF52);
  ASSERT_TRUE(ConvertToHeadVersion(image, 3));  // 1 to 2, then 2 to 3
  EXPECT_EQ(image[CommonWord(0)], 0x0301);
  EXPECT_EQ(image[WindowWord(2, 3, 4)], 0x5780);

  const SettingsImage same = image;
  EXPECT_TRUE(ConvertToHeadVersion(image, 3));
  EXPECT_EQ(image, same);
  EXPECT_FALSE(ConvertToHeadVersion(image, 4));
  image[CommonWord(0)] = 0x0001;
  EXPECT_FALSE(ConvertToHeadVersion(image, 3));
  EXPECT_EQ(image[CommonWord(0)], 0x0001);
}

}  // namespace
}  // namespace kyr::settings
