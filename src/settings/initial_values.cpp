#include "settings/initial_values.h"

#include <cstddef>

#include "settings/field_table.h"

namespace kyr::settings {
namespace {

// Resets write the latest layout: the fields of version 3 with their initial values. Bits
// that belong to no field are 0.
bool WrittenByReset(const Field& field, Place place) {
  return field.place == place && ExistsIn(field, kLatestVersion) && field.initial != kNoInitial;
}

void WriteInitialValues(SettingsImage& image, Place place, int bank, int window) {
  for (const Field& field : AllFields()) {
    if (!WrittenByReset(field, place)) continue;
    for (int i = 0; i < field.words; ++i) {
      const int word = FieldWord(field, bank, window) + i;
      WriteField(image, word, field.shift, field.mask, static_cast<unsigned>(field.initial));
    }
  }
}

bool IsCommentWord(int k) {
  return k >= kCommentFirstWord && k < kCommentFirstWord + kCommentWordCount;
}

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
  for (int k = 0; k < kFirstWindowWord; ++k) {
    if (!IsCommentWord(k)) image[BankWord(bank, k)] = 0;
  }
  WriteInitialValues(image, Place::kBank, bank, 0);
  for (int w = 0; w < kWindowCount; ++w) {
    for (int k = 0; k < kWindowWords; ++k) image[WindowWord(bank, w, k)] = 0;
    WriteInitialValues(image, Place::kWindow, bank, w);
  }
  comments[static_cast<std::size_t>(bank)] = InitialCommentText();
}

void ResetCommon(SettingsImage& image) {
  for (int k = 0; k < kCommonWords; ++k) image[CommonWord(k)] = 0;
  WriteInitialValues(image, Place::kCommon, 0, 0);
}

void InitializeSettings(SettingsImage& image, CommentTexts& comments) {
  for (int bank = 0; bank < kBankCount; ++bank) ResetBank(image, comments, bank);
  ResetCommon(image);
}

}  // namespace kyr::settings
