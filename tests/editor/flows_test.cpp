// The file commands: Read Settings, Save Settings, Initialize, as a user runs them.
#include "editor/editor_fixture.h"

namespace kyr::editor {
namespace {

using settings::testing::ReadAll;
using settings::testing::WriteAll;

TEST_F(EditorTest, InitializeAsksInOrderAndKeepsDoneResets) {
  // A refused value: nothing is asked, nothing reset.
  Type(LeftRow(2), "4096");
  editor.ClickButton(kInitialize);
  EXPECT_EQ(host.MessageIds(), std::vector<EditorText>{EditorText::kIllegalValue});
  Type(LeftRow(2), "1");
  host.Clear();

  // No, No, Yes: only the common block.
  editor.SelectBank(2);
  Type(LeftRow(2), "77");
  CommonWord(21) = 5;
  host.answers = {Answer::No, Answer::No, Answer::Yes};
  editor.ClickButton(kInitialize);
  EXPECT_EQ(host.MessageIds(),
            (std::vector<EditorText>{EditorText::kResetBank, EditorText::kResetAllBanks,
                                     EditorText::kResetCommon}));
  for (const Message& m : host.messages) {
    EXPECT_EQ(m.caption, "Warning");
    EXPECT_EQ(m.icon, Icon::Exclamation);
    EXPECT_EQ(m.buttons, Buttons::YesNoCancel);
    EXPECT_EQ(m.default_answer, Answer::Cancel);
  }
  EXPECT_EQ(BankWord(1), 77);  // stored first, then kept
  EXPECT_EQ(CommonWord(21), 10);
  EXPECT_EQ(editor.CurrentBank(), 2);
  EXPECT_EQ(Row(LeftRow(2)).edit_text, "77");

  // Yes, Cancel: the shown bank only; the third question is not asked.
  host.Clear();
  CommonWord(21) = 5;
  editor.Image()[settings::BankWord(3, 1)] = 99;
  editor.TypeComment("bank two");
  host.answers = {Answer::Yes, Answer::Cancel};
  editor.ClickButton(kInitialize);
  EXPECT_EQ(host.MessageIds(),
            (std::vector<EditorText>{EditorText::kResetBank, EditorText::kResetAllBanks}));
  EXPECT_EQ(BankWord(1), 228);
  EXPECT_EQ(Row(LeftRow(2)).edit_text, "228");
  EXPECT_EQ(editor.Window().comment, "  ------------------");
  EXPECT_EQ(editor.Image()[settings::BankWord(3, 1)], 99);
  EXPECT_EQ(CommonWord(21), 5);

  // Cancel at once: nothing reset, and the screen still shows the image.
  host.Clear();
  Type(LeftRow(2), "55");
  host.answers = {Answer::Cancel};
  editor.ClickButton(kInitialize);
  EXPECT_EQ(host.MessageIds(), std::vector<EditorText>{EditorText::kResetBank});
  EXPECT_EQ(BankWord(1), 55);
}

TEST_F(EditorTest, ReadSettingsChecksModelAndVersion) {
  // Cancel: nothing happens.
  editor.ClickButton(kReadSettings);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(host.last_filters[0].label, "KYR data file ( *.kdta )");
  EXPECT_EQ(host.last_filters[1].label, "All files(*.*)");

  // A missing file (the extension rule adds ".kdta"), then a short one.
  WriteAll(folder.File("set1.txt"), "");
  host.files = {folder.File("set1.txt")};
  editor.ClickButton(kReadSettings);
  EXPECT_EQ(editor.FileName(), folder.File("set1.txt.kdta"));
  WriteAll(folder.File("short.kdta"), std::string(511, '\n'));
  host.files = {folder.File("short")};
  editor.ClickButton(kReadSettings);
  EXPECT_EQ(host.MessageIds(), (std::vector<EditorText>{EditorText::kFailToOpenSettings,
                                                        EditorText::kIllegalContents}));
  EXPECT_EQ(host.messages[0].caption, "Error");
  EXPECT_EQ(host.initial_names.back(), folder.File("set1.txt.kdta"));

  // A version 2 file: the question, and on No the image stays at version 2. What was
  // typed on the old screen is not stored over the new image.
  host.Clear();
  auto image = Fresh(2);
  image[settings::BankWord(0, 1)] = 1234;
  image[settings::BankWord(0, 18)] = 0x4241;  // comment "AB"
  image[settings::BankWord(0, 19)] = 0;
  settings::CommentTexts comments;
  comments = settings::CommentsOf(image);
  WriteAll(folder.File("v2.kdta"), settings::FormatSettingsText(image, comments));
  Type(LeftRow(2), "9");
  host.files = {folder.File("v2.kdta")};
  host.answers = {Answer::No};
  editor.ClickButton(kReadSettings);
  EXPECT_EQ(host.MessageIds(), std::vector<EditorText>{EditorText::kConvertToLatest});
  EXPECT_EQ(host.messages[0].buttons, Buttons::YesNo);
  EXPECT_EQ(editor.Image(), image);
  EXPECT_EQ(Row(LeftRow(2)).edit_text, "1234");
  EXPECT_EQ(editor.Window().comment, "AB");

  // A foreign model: message 305 and initial values everywhere.
  host.Clear();
  image[settings::CommonWord(0)] = 0x0302;
  WriteAll(folder.File("other.kdta"), settings::FormatSettingsText(image, comments));
  host.files = {folder.File("other.kdta")};
  editor.ClickButton(kReadSettings);
  EXPECT_EQ(host.MessageIds(), std::vector<EditorText>{EditorText::kNotKyrTc});
  auto expected = Fresh(3);
  expected[settings::BankWord(0, 18)] = 0x4241;  // a reset leaves the comment words
  EXPECT_EQ(editor.Image(), expected);
  EXPECT_EQ(editor.Window().comment, "  ------------------");
  EXPECT_EQ(Row(LeftRow(2)).edit_text, "228");
}

TEST_F(EditorTest, SaveSettingsStoresFirstAndAsksBeforeReplacing) {
  // A refused value: no dialog at all.
  Type(LeftRow(3), "41");
  editor.ClickButton(kSaveSettings);
  EXPECT_TRUE(host.initial_names.empty());
  Type(LeftRow(3), "40");
  editor.TypeComment("ABCDEFGHIJKLMNOPQRSTUVWXYZ");

  host.Clear();
  host.files = {folder.File("saved")};
  editor.ClickButton(kSaveSettings);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(editor.FileName(), folder.File("saved.kdta"));
  settings::SettingsImage read{};
  ASSERT_EQ(settings::ReadSettingsFile(folder.File("saved.kdta"), read),
            settings::ReadResult::kComplete);
  EXPECT_EQ(read[settings::BankWord(0, 13)] & 63, 40);
  EXPECT_EQ(read[settings::BankWord(0, 18)], 0x4241);
  EXPECT_EQ(read[settings::BankWord(0, 27)], 0x5453);  // "ST": 20 characters kept
  EXPECT_EQ(editor.Comments()[0][20], '\0');

  // The file exists now: No keeps it.
  const std::string before = ReadAll(folder.File("saved.kdta"));
  Type(LeftRow(3), "1");
  host.files = {folder.File("saved.kdta")};
  host.answers = {Answer::No};
  editor.ClickButton(kSaveSettings);
  EXPECT_EQ(host.MessageIds(), std::vector<EditorText>{EditorText::kOverwriteQuestion});
  EXPECT_EQ(host.messages[0].buttons, Buttons::YesNo);
  EXPECT_EQ(ReadAll(folder.File("saved.kdta")), before);

  // A folder that does not exist: message 132.
  host.Clear();
  host.files = {folder.File("missing/saved.kdta")};
  editor.ClickButton(kSaveSettings);
  EXPECT_EQ(host.MessageIds(), std::vector<EditorText>{EditorText::kFailToCreate});
  EXPECT_EQ(host.messages[0].caption, "Error");
}

TEST_F(EditorTest, GenerateCsvListsTheChosenFileBesideIt) {
  Type(LeftRow(2), "4096");  // neither stored nor checked by the listing
  auto image = Fresh(3);
  image[settings::CommonWord(9)] = 5;
  settings::CommentTexts comments;
  comments = settings::CommentsOf(image);
  WriteAll(folder.File("set1.kdta"), settings::FormatSettingsText(image, comments));
  const auto before = editor.Image();

  host.files = {folder.File("set1")};
  editor.ClickButton(kGenerateCsv);
  EXPECT_EQ(host.MessageIds(), std::vector<EditorText>{EditorText::kCsvComplete});
  EXPECT_EQ(host.messages[0].caption, "Finish");
  EXPECT_EQ(host.messages[0].icon, Icon::Information);
  EXPECT_EQ(editor.FileName(), folder.File("set1.csv"));
  EXPECT_EQ(editor.Image(), before);
  const std::string listing = ReadAll(folder.File("set1.csv"));
  EXPECT_TRUE(listing.starts_with("Type,KYR-TC\r\n")) << listing.substr(0, 40);
  EXPECT_NE(listing.find("Bank Selection,5\r\n"), std::string::npos);

  // The listing exists now: No leaves it; a missing settings file gives 129.
  host.Clear();
  WriteAll(folder.File("set1.csv"), "old");
  host.files = {folder.File("set1.kdta"), folder.File("none.kdta")};
  host.answers = {Answer::No};
  editor.ClickButton(kGenerateCsv);
  editor.ClickButton(kGenerateCsv);
  EXPECT_EQ(host.MessageIds(), (std::vector<EditorText>{EditorText::kOverwriteQuestion,
                                                        EditorText::kFailToOpenSettings}));
  EXPECT_EQ(ReadAll(folder.File("set1.csv")), "old");
  EXPECT_EQ(host.initial_names[1], folder.File("set1.csv"));
}

}  // namespace
}  // namespace kyr::editor
