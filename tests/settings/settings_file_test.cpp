#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "settings/conversion.h"
#include "settings/initial_values.h"
#include "settings/settings_file.h"
#include "settings/test_support.h"

namespace kyr::settings {
namespace {

using testing::ReadAll;
using testing::TempFolder;

CommentTexts BlankComments() {
  CommentTexts comments{};
  for (auto& text : comments) text = InitialCommentText();
  return comments;
}

// Replaces field `j` of line `line` of a well-formed file text.
void SetField(std::string& text, int line, int j, const std::string& field) {
  text.replace(static_cast<std::size_t>(line * 82 + 5 * j), 5, field);
}

TEST(SettingsFileFormat, WritesFixedLayoutAndReadsItBack) {
  const SettingsImage image = testing::RandomSettings(7);
  const CommentTexts comments = BlankComments();
  const std::string text = FormatSettingsText(image, comments);
  ASSERT_EQ(text.size(), kFileBytes);
  for (int line = 0; line < kFileLines; ++line) {
    EXPECT_EQ(text.substr(static_cast<std::size_t>(line * 82 + 80), 2), "\r\n") << line;
  }
  char expected[8];
  std::snprintf(expected, sizeof expected, "%04X ", image[16 * 100 + 5]);
  EXPECT_EQ(text.substr(100 * 82 + 25, 5), expected);
  EXPECT_EQ(text.find_first_of("abcdef"), std::string::npos);

  SettingsImage read{};
  ASSERT_EQ(ParseSettingsText(text, read), ReadResult::kComplete);
  for (int word = 0; word < kWordCount; ++word) {
    const int bank_word = word % kBankWords;
    const bool comment_word = word < kBankCount * kBankWords && bank_word >= kCommentFirstWord &&
                              bank_word < kCommentFirstWord + kCommentWordCount;
    if (!comment_word) {
      EXPECT_EQ(read[word], image[word]) << word;
    }
  }
  // The comment words come from the texts: two blanks as 0, then pairs of '-'.
  EXPECT_EQ(read[BankWord(4, 18)], 0);
  EXPECT_EQ(read[BankWord(4, 27)], 0x2D2D);

  // Lower-case digits and LF-only line ends read the same.
  std::string lower = text;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::string lf_only;
  for (char c : text) {
    if (c != '\r') {
      lf_only += c;
    }
  }
  SettingsImage from_lower{}, from_lf{};
  EXPECT_EQ(ParseSettingsText(lower, from_lower), ReadResult::kComplete);
  EXPECT_EQ(ParseSettingsText(lf_only, from_lf), ReadResult::kComplete);
  EXPECT_EQ(from_lower, read);
  EXPECT_EQ(from_lf, read);
}

TEST(SettingsFileFormat, CommentFieldsFollowTheTwoBlankRule) {
  SettingsImage image{};
  CommentTexts comments = BlankComments();
  std::memcpy(comments[0].data(), "AB                  ", 21);
  std::memcpy(comments[1].data(), "  XY\0zzzzzzzzzzzzzzz", 21);  // bytes after the end count too
  std::memcpy(comments[2].data(), " A\xE3\x81\x82               ", 21);
  const std::string text = FormatSettingsText(image, comments);
  EXPECT_EQ(text.substr(1 * 82 + 10, 10), "4241 2020 ");
  EXPECT_EQ(text.substr(13 * 82 + 10, 20), "0000 5958 7A00 7A7A ");
  EXPECT_EQ(text.substr(25 * 82 + 10, 15), "4120 81E3 2082 ");  // not both blanks: written as is

  ASSERT_EQ(ParseSettingsText(text, image), ReadResult::kComplete);
  const CommentTexts rebuilt = CommentsOf(image);
  EXPECT_EQ(std::string(rebuilt[0].data()), "AB                  ");
  EXPECT_EQ(std::string(rebuilt[1].data()), "  XY");
  EXPECT_EQ(std::memcmp(rebuilt[1].data(), comments[1].data(), 21), 0);
  EXPECT_EQ(std::memcmp(rebuilt[2].data(), comments[2].data(), 21), 0);
  EXPECT_EQ(std::string(rebuilt[3].data()), "  ------------------");
}

TEST(SettingsFileParse, FieldsFollowTheHexRules) {
  EXPECT_EQ(ParseHexField("abCD "), 0xABCD);
  EXPECT_EQ(ParseHexField("  12"), 0x12);  // leading blanks skipped
  EXPECT_EQ(ParseHexField("\t\r\n7"), 0x7);
  EXPECT_EQ(ParseHexField("0x1F"), 0x1F);
  EXPECT_EQ(ParseHexField("0X"), 0);  // no digits after the prefix
  EXPECT_EQ(ParseHexField("+10"), 0x10);
  EXPECT_EQ(ParseHexField("-1"), 0xFFFF);  // negated in 32 bits
  EXPECT_EQ(ParseHexField("-0x10"), 0xFFF0);
  EXPECT_EQ(ParseHexField("12G4"), 0x12);  // stops at the first non-digit
  EXPECT_EQ(ParseHexField("G123"), 0);
  EXPECT_EQ(ParseHexField(""), 0);
  EXPECT_EQ(ParseHexField("1234F"), 0x234F);  // the low 16 bits of a longer number
  EXPECT_EQ(ParseHexField("FFFFFFFF"), 0xFFFF);
  EXPECT_EQ(ParseHexField("123456789"), 0xFFFF);  // beyond 32 bits saturates
  EXPECT_EQ(ParseHexField("-123456789"), 0xFFFF);
  EXPECT_EQ(ParseHexField(std::string_view("1\0"
                                           "2",
                                           3)),
            1);

  // Fields are taken from fixed columns without checking what lies between them.
  std::string text = FormatSettingsText(SettingsImage{}, BlankComments());
  SetField(text, 0, 0, "12x4 ");
  SetField(text, 0, 1, "  7Fz");
  SetField(text, 0, 2, "     ");
  SetField(text, 0, 3, "0x1F ");
  SettingsImage image{};
  ASSERT_EQ(ParseSettingsText(text, image), ReadResult::kComplete);
  EXPECT_EQ(image[0], 0x12);
  EXPECT_EQ(image[1], 0x7F);
  EXPECT_EQ(image[2], 0x1F);  // white space is skipped into the next field's digits
  EXPECT_EQ(image[3], 0x1F);
}

TEST(SettingsFileParse, LinesFollowTheBufferRules) {
  const SettingsImage original = testing::RandomSettings(3);
  const std::string text = FormatSettingsText(original);
  SettingsImage image = original;

  // Fewer than 512 lines: result 3 and nothing of the image replaced.
  SettingsImage untouched = testing::RandomSettings(4);
  image = untouched;
  EXPECT_EQ(ParseSettingsText(text.substr(0, 511 * 82), image), ReadResult::kShortFile);
  EXPECT_EQ(image, untouched);
  EXPECT_EQ(ParseSettingsText("", image), ReadResult::kShortFile);
  EXPECT_EQ(image, untouched);

  // Extra lines are not read; a last line without its line end still counts.
  EXPECT_EQ(ParseSettingsText(text + text.substr(0, 82) + "junk", image), ReadResult::kComplete);
  EXPECT_EQ(image, original);
  EXPECT_EQ(ParseSettingsText(text.substr(0, text.size() - 2), image), ReadResult::kComplete);
  EXPECT_EQ(image, original);

  // A short line gives 0 for the fields it does not reach.
  std::string short_line = text;
  short_line.replace(82 * 5, 82, "0001 0002\r\n");
  ASSERT_EQ(ParseSettingsText(short_line, image), ReadResult::kComplete);
  EXPECT_EQ(image[16 * 5 + 1], 2);
  EXPECT_EQ(image[16 * 5 + 2], 0);
  EXPECT_EQ(image[16 * 5 + 15], 0);
  EXPECT_EQ(image[16 * 6], original[16 * 6]);

  // 88 characters and a line end fit the buffer; 89 characters split the line, so the
  // remainder counts as a line of its own and the file falls one line short.
  std::string long88 = text;
  long88.insert(82 * 7 + 80, "ABCDEFGH");
  EXPECT_EQ(ParseSettingsText(long88, image), ReadResult::kComplete);
  EXPECT_EQ(image, original);
  std::string long89 = text;
  long89.insert(82 * 7 + 80, "ABCDEFGHI");
  EXPECT_EQ(ParseSettingsText(long89.substr(0, long89.size() - 82), image), ReadResult::kComplete);
  EXPECT_EQ(image[16 * 8], 0);  // the line "I" with its line end
  EXPECT_EQ(image[16 * 9], original[16 * 8]);
  EXPECT_EQ(ParseSettingsText(long89.substr(0, long89.size() - 82 * 2), image),
            ReadResult::kShortFile);

  // The communication tool reads 99-character lines and does not detect a short file.
  std::string long98 = text;
  long98.insert(82 * 7 + 80, std::string(18, 'A'));
  EXPECT_EQ(ParseToolSettingsText(long98, image), kFileLines);
  EXPECT_EQ(image, original);
  EXPECT_EQ(ParseToolSettingsText(text.substr(0, 82 * 10), image), 10);
  EXPECT_EQ(image[16 * 9 + 15], original[16 * 9 + 15]);
  EXPECT_EQ(image[16 * 10], 0);
}

TEST(SettingsFileIo, ReadsWritesAndKeepsTheOldFileOnFailure) {
  TempFolder folder;
  SettingsImage image{};
  CommentTexts comments{};
  InitializeSettings(image, comments);
  SettingsImage initial{};  // as saved: the comment words hold the texts
  ASSERT_EQ(ParseSettingsText(FormatSettingsText(image, comments), initial), ReadResult::kComplete);

  // Paths are not limited in length.
  std::string long_name(200, 'n');
  std::filesystem::create_directories(folder.path() / long_name);
  const std::string path = folder.File(long_name + "/" + long_name + ".kdta");
  ASSERT_GT(path.size(), 400u);
  ASSERT_EQ(WriteSettingsFile(path, image, comments), settings::WriteResult::kWritten);
  EXPECT_EQ(ReadAll(path).size(), kFileBytes);
  image.fill(0x5555);
  ASSERT_EQ(ReadSettingsFile(path, image), ReadResult::kComplete);
  EXPECT_EQ(image, initial);

  // A byte-order mark some editors write at the start is no part of the first line.
  testing::WriteAll(folder.File("bom.kdta"), "\xEF\xBB\xBF" + ReadAll(path));
  image.fill(0x5555);
  ASSERT_EQ(ReadSettingsFile(folder.File("bom.kdta"), image), ReadResult::kComplete);
  EXPECT_EQ(image, initial);
  SettingsImage tool{};
  int incomplete = 0;
  EXPECT_EQ(ReadToolSettingsFile(folder.File("bom.kdta"), tool, incomplete), kFileLines);
  EXPECT_EQ(incomplete, -1);
  EXPECT_EQ(tool, initial);

  // A file that cannot be opened (missing, a folder, a FIFO nobody writes) leaves the image
  // as it was, without waiting.
  ::mkfifo(folder.File("fifo.kdta").c_str(), 0600);
  for (const std::string& name :
       {folder.File("missing.kdta"), folder.path().string(), folder.File("fifo.kdta")}) {
    EXPECT_EQ(ReadSettingsFile(name, image), ReadResult::kOpenFailed) << name;
    EXPECT_EQ(ReadToolSettingsFile(name, tool, incomplete), -1) << name;
  }
  EXPECT_EQ(image, initial);

  // A short file neither.
  testing::WriteAll(folder.File("short.kdta"), ReadAll(path).substr(0, 82 * 100));
  image.fill(0x1234);
  EXPECT_EQ(ReadSettingsFile(folder.File("short.kdta"), image), ReadResult::kShortFile);
  EXPECT_EQ(image[0], 0x1234);

  // Saving where the file cannot be created says so and keeps what was there.
  EXPECT_EQ(WriteSettingsFile(folder.File("no/such/folder.kdta"), image, comments),
            settings::WriteResult::kCannotCreate);
  // A folder or FIFO in the way, or a link to nothing, is named as such and stays.
  std::filesystem::create_directory(folder.File("taken.kdta"));
  std::filesystem::create_symlink("gone.kdta", folder.File("dangling.kdta"));
  EXPECT_EQ(WriteSettingsFile(folder.File("taken.kdta"), image, comments),
            settings::WriteResult::kNotRegular);
  EXPECT_EQ(WriteSettingsFile(folder.File("fifo.kdta"), image, comments),
            settings::WriteResult::kNotRegular);
  EXPECT_EQ(WriteSettingsFile(folder.File("dangling.kdta"), image, comments),
            settings::WriteResult::kDanglingLink);
  EXPECT_TRUE(std::filesystem::is_directory(folder.File("taken.kdta")));
  EXPECT_TRUE(std::filesystem::is_symlink(folder.File("dangling.kdta")));
}

TEST(SettingsFileNames, DialogPathsGetTheExtension) {
  EXPECT_EQ(WithKdtaExtension("set1"), "set1.kdta");
  EXPECT_EQ(WithKdtaExtension("set1.kdta"), "set1.kdta");
  EXPECT_EQ(WithKdtaExtension("set1.KDTA"), "set1.KDTA.kdta");
  EXPECT_EQ(WithKdtaExtension("set1.txt"), "set1.txt.kdta");
  EXPECT_EQ(WithKdtaExtension("a"), "a.kdta");
  EXPECT_EQ(WithKdtaExtension(".kdta"), ".kdta");
  const std::string long_path = "/tmp/" + std::string(300, 'x');
  EXPECT_EQ(WithKdtaExtension(long_path), long_path + ".kdta");
  EXPECT_EQ(WithExtension("pic", ".kimg"), "pic.kimg");
}

}  // namespace
}  // namespace kyr::settings
