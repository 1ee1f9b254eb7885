#pragma once
// The settings image: the head's whole settings memory of 8,192 sixteen-bit words, and the
// addressing of its common block, bank blocks and window blocks.
//
// Every setting is a bit range of one word. Bank b owns words 192*b .. 192*b+191; its 16
// window blocks of 10 words start at bank word 32. The common block starts at word 8128,
// and its word 0 identifies the model (low byte) and the settings version (high byte).
#include <array>
#include <cstdint>

namespace kyr::settings {

constexpr int kWordCount = 8192;
constexpr int kBankCount = 32;
constexpr int kWindowCount = 16;
constexpr int kBankWords = 192;
constexpr int kWindowWords = 10;
constexpr int kFirstWindowWord = 32;
constexpr int kCommonBase = 8128;
constexpr int kCommonWords = 41;

using SettingsImage = std::array<std::uint16_t, kWordCount>;

// Bank comments: 20 single-byte characters and a terminator per bank.
constexpr int kCommentChars = 20;
constexpr int kCommentFirstWord = 18;  // bank words 18 to 27 hold the comment
constexpr int kCommentWordCount = 10;
using CommentText = std::array<char, kCommentChars + 1>;
using CommentTexts = std::array<CommentText, kBankCount>;

// The image with bank b's comment words made from comments[b], as a settings file written
// from both holds them: characters 2k and 2k+1 are the low and high byte of bank word 18+k,
// and a comment starting with two blanks stores 0 in word 18 (which reads back as two blanks).
SettingsImage WithComments(const SettingsImage& image, const CommentTexts& comments);
// The comment texts the image's comment words hold; a bank word 18 of 0 gives two blanks.
CommentTexts CommentsOf(const SettingsImage& image);

// The model code of the KYR-TC and the latest settings version.
constexpr int kModelKyrTc = 1;
constexpr int kLatestVersion = 3;

constexpr int BankWord(int bank, int k) {
  return kBankWords * bank + k;
}
constexpr int WindowWord(int bank, int window, int k) {
  return kBankWords * bank + kFirstWindowWord + kWindowWords * window + k;
}
constexpr int CommonWord(int k) {
  return kCommonBase + k;
}

// (image[word] >> shift) AND mask.
constexpr std::uint16_t ReadField(const SettingsImage& image, int word, int shift,
                                  std::uint16_t mask) {
  return static_cast<std::uint16_t>((image[static_cast<std::size_t>(word)] >> shift) & mask);
}

// Replaces the field's bits by `value` (masked to the field); other bits keep their value.
constexpr void WriteField(SettingsImage& image, int word, int shift, std::uint16_t mask,
                          unsigned value) {
  auto& target = image[static_cast<std::size_t>(word)];
  const unsigned field = static_cast<unsigned>(mask) << shift;
  target = static_cast<std::uint16_t>((target & ~field) | ((value << shift) & field));
}

// Low and high byte of common word 0.
int ModelCode(const SettingsImage& image);
int SettingsVersion(const SettingsImage& image);
void SetModelAndVersion(SettingsImage& image, int model, int version);

}  // namespace kyr::settings
