#include "settings/settings_image.h"

namespace kyr::settings {

int ModelCode(const SettingsImage& image) {
  return ReadField(image, CommonWord(0), 0, 0xFF);
}

int SettingsVersion(const SettingsImage& image) {
  return ReadField(image, CommonWord(0), 8, 0xFF);
}

SettingsImage WithComments(const SettingsImage& image, const CommentTexts& comments) {
  SettingsImage out = image;
  for (int bank = 0; bank < kBankCount; ++bank) {
    const CommentText& text = comments[static_cast<std::size_t>(bank)];
    for (int k = 0; k < kCommentWordCount; ++k) {
      const auto low = static_cast<unsigned char>(text[static_cast<std::size_t>(2 * k)]);
      const auto high = static_cast<unsigned char>(text[static_cast<std::size_t>(2 * k + 1)]);
      const bool leading_blanks = k == 0 && low == ' ' && high == ' ';
      out[static_cast<std::size_t>(BankWord(bank, kCommentFirstWord + k))] =
          leading_blanks ? 0 : static_cast<std::uint16_t>(high << 8 | low);
    }
  }
  return out;
}

CommentTexts CommentsOf(const SettingsImage& image) {
  CommentTexts comments{};
  for (int bank = 0; bank < kBankCount; ++bank) {
    CommentText& text = comments[static_cast<std::size_t>(bank)];
    for (int k = 0; k < kCommentWordCount; ++k) {
      const std::uint16_t word =
          image[static_cast<std::size_t>(BankWord(bank, kCommentFirstWord + k))];
      text[static_cast<std::size_t>(2 * k)] = static_cast<char>(word & 0xFF);
      text[static_cast<std::size_t>(2 * k + 1)] = static_cast<char>(word >> 8);
    }
    if (image[static_cast<std::size_t>(BankWord(bank, kCommentFirstWord))] == 0)
      text[0] = text[1] = ' ';
  }
  return comments;
}

void SetModelAndVersion(SettingsImage& image, int model, int version) {
  image[CommonWord(0)] = static_cast<std::uint16_t>(((version & 0xFF) << 8) | (model & 0xFF));
}

}  // namespace kyr::settings
