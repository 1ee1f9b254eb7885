#include "settings/initial_values.h"

#include <cstddef>

namespace kyr::settings {
namespace {

// Bank words 0 to 17, then 28 to 31.
constexpr std::array<std::uint16_t, 18> kBankHead = {
    0x0009, 0x00E4, 0x0080, 0x0080, 0x0080, 0x8001, 0x0828, 0x0000, 0x0000,
    0x0000, 0x0000, 0x0014, 0x091E, 0x0110, 0x0332, 0x0FFF, 0x0000, 0x0000};
constexpr std::array<std::uint16_t, 4> kBankTail = {0x4502, 0x1E1E, 0x2832, 0x2864};
constexpr std::array<std::uint16_t, kWindowWords> kWindow = {
    0x6432, 0x3264, 0x2554, 0x0780, 0x3780, 0x0780, 0xDBE8, 0x5014, 0x0002, 0x004A};

constexpr std::array<std::uint16_t, kCommonWords> kCommon = {
    0x0301, 0x0003, 0x0000, 0x0000, 0xF011, 0x0000, 0x0323, 0x0000, 0x0002,
    0x0021, 0xFFFF, 0xFFFF, 0x0000, 0x0000, 0x0000, 0x0000, 0x001C, 0x0000,
    0x0000, 0x0000, 0x0000, 0x000A, 0x0000, 0x0000, 0x0001, 0x8000};

}  // namespace

CommentText InitialCommentText() {
  CommentText text{};
  text[0] = ' ';
  text[1] = ' ';
  for (int i = 2; i < kCommentChars; ++i) text[static_cast<std::size_t>(i)] = '-';
  text[kCommentChars] = '\0';
  return text;
}

void ResetBank(SettingsImage& image, CommentTexts& comments, int bank) {
  for (int k = 0; k < static_cast<int>(kBankHead.size()); ++k) {
    image[BankWord(bank, k)] = kBankHead[static_cast<std::size_t>(k)];
  }
  for (int k = 0; k < static_cast<int>(kBankTail.size()); ++k) {
    image[BankWord(bank, 28 + k)] = kBankTail[static_cast<std::size_t>(k)];
  }
  for (int w = 0; w < kWindowCount; ++w) {
    for (int k = 0; k < kWindowWords; ++k) {
      image[WindowWord(bank, w, k)] = kWindow[static_cast<std::size_t>(k)];
    }
  }
  comments[static_cast<std::size_t>(bank)] = InitialCommentText();
}

void ResetCommon(SettingsImage& image) {
  for (int k = 0; k < kCommonWords; ++k)
    image[CommonWord(k)] = kCommon[static_cast<std::size_t>(k)];
}

void InitializeSettings(SettingsImage& image, CommentTexts& comments) {
  for (int bank = 0; bank < kBankCount; ++bank) ResetBank(image, comments, bank);
  ResetCommon(image);
}

}  // namespace kyr::settings
