#include "settings/conversion.h"

#include "settings/initial_values.h"

namespace kyr::settings {
namespace {

constexpr std::uint16_t kVersion1Word = 0x0101;
constexpr std::uint16_t kVersion2Word = 0x0201;
constexpr std::uint16_t kVersion3Word = 0x0301;

template <typename Fn>
void ForEachWindow(Fn&& fn) {
  for (int bank = 0; bank < kBankCount; ++bank) {
    for (int window = 0; window < kWindowCount; ++window) fn(bank, window);
  }
}

std::uint16_t& At(SettingsImage& image, int word) {
  return image[static_cast<std::size_t>(word)];
}

// A version 3 layout keeps the target window per bank; it is taken over from the common
// word only when position output is in use (a width other than NONE).
bool PositionOutputInUse(const SettingsImage& image) {
  return ReadField(image, CommonWord(13), 6, 0xF) != 0 ||
         ReadField(image, CommonWord(14), 6, 0xF) != 0;
}

// Outputs of a version 2 head address at most terminal 20 (items 0 to 19).
void ClipOutputStart(SettingsImage& image, int common_word) {
  if (ReadField(image, CommonWord(common_word), 0, 0x3F) > 19) {
    WriteField(image, CommonWord(common_word), 0, 0x3F, 19);
  }
}

}  // namespace

bool IsKyrTc(const SettingsImage& image) {
  return ModelCode(image) == kModelKyrTc;
}

void ConvertVersion1To2(SettingsImage& image) {
  At(image, CommonWord(0)) = kVersion2Word;
  ForEachWindow([&](int b, int w) { WriteField(image, WindowWord(b, w, 9), 8, 1, 0); });
}

void ConvertVersion2To3(SettingsImage& image) {
  At(image, CommonWord(0)) = kVersion3Word;
  At(image, CommonWord(39)) = 0;
  const bool take_target_window = PositionOutputInUse(image);
  const unsigned common_target_window = ReadField(image, CommonWord(13), 12, 0xF);
  for (int bank = 0; bank < kBankCount; ++bank) {
    // Search accuracy widens from two to three bits (old items 0-3 become 2, 4, 6, 0) and
    // the search difference cut-off starts at 2.
    std::uint16_t& search = At(image, BankWord(bank, 28));
    const unsigned old_accuracy = (search >> 12) & 0x3;
    search = static_cast<std::uint16_t>((search & 0x00FF) | 0x0200 |
                                        (((2 * old_accuracy + 2) & 0x7) << 12));
    // Output polarity moves from bit 0 to bits 4-5.
    std::uint16_t& polarity = At(image, BankWord(bank, 7));
    polarity = static_cast<std::uint16_t>((polarity & ~0x0031u) | ((polarity & 1u) << 4));
    if (take_target_window) WriteField(image, BankWord(bank, 13), 12, 0xF, common_target_window);
  }
  ForEachWindow([&](int b, int w) {
    std::uint16_t& w4 = At(image, WindowWord(b, w, 4));
    std::uint16_t& w8 = At(image, WindowWord(b, w, 8));
    std::uint16_t& w9 = At(image, WindowWord(b, w, 9));
    const unsigned x4 = w4, x8 = w8, x9 = w9;
    // The ellipse mask item (OFF, 10% .. 100%) becomes its percentage in bits 9-15, and the
    // contour expansion moves into its old place in word 4.
    w9 = static_cast<std::uint16_t>((x9 & 0x01FF) | (((x4 >> 12) * 10) << 9));
    w4 = static_cast<std::uint16_t>((x4 & 0x0FFF) | (((x8 >> 4) & 0xF) << 12));
    w8 = static_cast<std::uint16_t>(x8 & 0x000F);
  });
}

void ConvertVersion3To2(SettingsImage& image) {
  At(image, CommonWord(0)) = kVersion2Word;
  for (int word : {12, 13, 14, 15, 20, 22}) ClipOutputStart(image, word);
  if (ReadField(image, CommonWord(16), 5, 0x3) > 1) WriteField(image, CommonWord(16), 5, 0x3, 1);
  for (int bank = 0; bank < kBankCount; ++bank) {
    std::uint16_t& polarity = At(image, BankWord(bank, 7));
    polarity = static_cast<std::uint16_t>(polarity & ~0x0031u);
    std::uint16_t& search = At(image, BankWord(bank, 28));
    const unsigned accuracy = (search >> 12) & 0x7;
    search = static_cast<std::uint16_t>((search & 0x00FF) | ((((accuracy + 7) % 8) / 2) << 12));
  }
  // A version 2 head has one target window for all banks; bank 0's is kept.
  WriteField(image, CommonWord(13), 12, 0xF, ReadField(image, BankWord(0, 13), 12, 0xF));
  ForEachWindow([&](int b, int w) {
    std::uint16_t& a = At(image, WindowWord(b, w, 4));
    std::uint16_t& b8 = At(image, WindowWord(b, w, 8));
    const unsigned c = image[WindowWord(b, w, 9)];
    b8 = static_cast<std::uint16_t>((((a >> 12) & 0xF) << 4) | (b8 & 0xF));
    a = static_cast<std::uint16_t>((((c / 512) / 10) << 12) | (a & 0x0FFF));
  });
}

void ConvertVersion2To1(SettingsImage& image) {
  At(image, CommonWord(0)) = kVersion1Word;
  ForEachWindow([&](int b, int w) {
    // Position adjustment is three bits wide in version 1.
    if (ReadField(image, WindowWord(b, w, 9), 5, 0xF) >= 8) {
      WriteField(image, WindowWord(b, w, 9), 5, 0xF, 7);
    }
    for (int k : {8, 9}) At(image, WindowWord(b, w, k)) |= 0xFF00;
  });
}

AfterRead ConvertAfterRead(SettingsImage& image, CommentTexts& comments,
                           const std::function<bool()>& confirm_latest) {
  comments = CommentsOf(image);
  if (!IsKyrTc(image)) {
    InitializeSettings(image, comments);
    return AfterRead::kForeignModel;
  }
  if (SettingsVersion(image) <= 1) ConvertVersion1To2(image);
  if (SettingsVersion(image) > 2) return AfterRead::kLatest;
  if (!confirm_latest()) return AfterRead::kKeptVersion2;
  ConvertVersion2To3(image);
  return AfterRead::kConverted;
}

bool ConvertToHeadVersion(SettingsImage& image, int head_version) {
  const int file_version = SettingsVersion(image);
  const auto known = [](int v) { return v >= 1 && v <= kLatestVersion; };
  if (!known(file_version) || !known(head_version)) return false;
  if (head_version < file_version) {
    if (file_version == 3) ConvertVersion3To2(image);
    if (head_version == 1) ConvertVersion2To1(image);
  } else if (head_version > file_version) {
    if (file_version == 1) ConvertVersion1To2(image);
    if (head_version == 3) ConvertVersion2To3(image);
  }
  return true;
}

}  // namespace kyr::settings
