#include <gtest/gtest.h>

#include "settings/initial_values.h"
#include "settings/settings_file.h"
#include "settings/test_support.h"

namespace kyr::settings {
namespace {

// The documented initial words, independent of how the resets compose them.
constexpr std::uint16_t kBankInitial[32] = {
    0x0009, 0x00E4, 0x0080, 0x0080, 0x0080, 0x8001, 0x0828, 0x0000, 0x0000, 0x0000, 0x0000,
    0x0014, 0x091E, 0x0110, 0x0332, 0x0FFF, 0x0000, 0x0000, 0,      0,      0,      0,
    0,      0,      0,      0,      0,      0,      0x4502, 0x1E1E, 0x2832, 0x2864};
constexpr std::uint16_t kWindowInitial[10] = {0x6432, 0x3264, 0x2554, 0x0780, 0x3780,
                                              0x0780, 0xDBE8, 0x5014, 0x0002, 0x004A};
constexpr std::uint16_t kCommonInitial[41] = {
    0x0301, 0x0003, 0x0000, 0x0000, 0xF011, 0x0000, 0x0323, 0x0000, 0x0002, 0x0021, 0xFFFF,
    0xFFFF, 0x0000, 0x0000, 0x0000, 0x0000, 0x001C, 0x0000, 0x0000, 0x0000, 0x0000, 0x000A,
    0x0000, 0x0000, 0x0001, 0x8000, 0,      0,      0,      0,      0,      0,      0,
    0,      0,      0,      0,      0,      0,      0,      0};

bool IsCommentWord(int k) {
  return k >= 18 && k <= 27;
}

TEST(InitialValues, ResetsWriteTheDocumentedWordsAndNothingElse) {
  const SettingsImage noise = testing::RandomSettings(11);
  SettingsImage image = noise;
  CommentTexts comments{};
  ResetBank(image, comments, 7);
  for (int word = 0; word < kWordCount; ++word) {
    const int k = word - BankWord(7, 0);
    if (k < 0 || k >= kBankWords || IsCommentWord(k)) {
      EXPECT_EQ(image[word], noise[word]) << word;
    } else if (k < kFirstWindowWord) {
      EXPECT_EQ(image[word], kBankInitial[k]) << k;
    } else {
      EXPECT_EQ(image[word], kWindowInitial[(k - kFirstWindowWord) % kWindowWords]) << k;
    }
  }
  EXPECT_EQ(std::string(comments[7].data()), "  ------------------");
  EXPECT_EQ(comments[7][20], '\0');
  EXPECT_EQ(comments[6][0], '\0');  // other banks' texts untouched

  image = noise;
  ResetCommon(image);
  for (int word = 0; word < kWordCount; ++word) {
    const int k = word - CommonWord(0);
    EXPECT_EQ(image[word], k >= 0 && k < kCommonWords ? kCommonInitial[k] : noise[word]) << word;
  }
}

TEST(InitialValues, FreshImageIsAnUnregisteredVersion3File) {
  SettingsImage image = testing::RandomSettings(12);
  CommentTexts comments{};
  InitializeSettings(image, comments);
  EXPECT_EQ(image[CommonWord(0)], 0x0301);
  EXPECT_EQ(ModelCode(image), 1);
  EXPECT_EQ(SettingsVersion(image), 3);
  for (int bank = 0; bank < kBankCount; ++bank) {
    EXPECT_EQ(ReadField(image, BankWord(bank, 5), 15, 1), 1) << bank;
    for (int w = 0; w < kWindowCount; ++w) {
      EXPECT_EQ(ReadField(image, WindowWord(bank, w, 2), 0, 1), 0);
    }
  }

  // The initial file: 41,984 bytes; the comment fields hold 0000 and pairs of '-'.
  image.fill(0);
  InitializeSettings(image, comments);
  const std::string text = FormatSettingsText(image, comments);
  ASSERT_EQ(text.size(), 41984u);
  EXPECT_EQ(text.substr(0, 82),
            "0009 00E4 0080 0080 0080 8001 0828 0000 0000 0000 0000 0014 091E 0110 0332 0FFF \r\n");
  EXPECT_EQ(text.substr(12 * 82 + 82, 82),
            "0000 0000 0000 2D2D 2D2D 2D2D 2D2D 2D2D 2D2D 2D2D 2D2D 2D2D 4502 1E1E 2832 2864 \r\n");
  EXPECT_EQ(text.substr(508 * 82, 82),
            "0301 0003 0000 0000 F011 0000 0323 0000 0002 0021 FFFF FFFF 0000 0000 0000 0000 \r\n");
  EXPECT_EQ(text.substr(509 * 82, 82),
            "001C 0000 0000 0000 0000 000A 0000 0000 0001 8000 0000 0000 0000 0000 0000 0000 \r\n");
}

}  // namespace
}  // namespace kyr::settings
