#pragma once
// An editor started with a scripted host, and the few words a user's actions are checked on.
#include <gtest/gtest.h>

#include "editor/editor.h"
#include "editor/scripted_host.h"
#include "settings/conversion.h"
#include "settings/initial_values.h"
#include "settings/settings_file.h"
#include "settings/test_support.h"
#include "strings/strings.h"

namespace kyr::editor {

// The range text of the range message: " lo ～ hi)".
inline std::string Range(const std::string& lo, const std::string& hi) {
  return " " + lo + " \xEF\xBD\x9E " + hi + ")";
}

class EditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLanguage(Lang::En);
    editor.Start();
  }
  void TearDown() override { SetLanguage(Lang::En); }

  const RowState& Row(int row) const { return editor.Window().rows[static_cast<std::size_t>(row)]; }
  void Type(int row, std::string_view text) {
    editor.TypeEditText(kRowControls[static_cast<std::size_t>(row)].edit, text);
  }
  void Choose(int row, int index) {
    editor.SelectComboItem(kRowControls[static_cast<std::size_t>(row)].combo, index);
  }
  int EditId(int row) const { return kRowControls[static_cast<std::size_t>(row)].edit; }

  std::uint16_t& BankWord(int k) {
    return editor.Image()[static_cast<std::size_t>(settings::BankWord(editor.CurrentBank(), k))];
  }
  std::uint16_t& WindowWord(int k) {
    return editor.Image()[static_cast<std::size_t>(
        settings::WindowWord(editor.CurrentBank(), editor.CurrentWindow(), k))];
  }
  std::uint16_t& CommonWord(int k) {
    return editor.Image()[static_cast<std::size_t>(settings::CommonWord(k))];
  }
  unsigned Bits(std::uint16_t word, int shift, unsigned mask) { return (word >> shift) & mask; }

  // Reads `image` as a settings file through the Read Settings command, answering
  // `convert` to the version question.
  void Load(const settings::SettingsImage& image, bool convert = false) {
    settings::CommentTexts comments;
    comments = settings::CommentsOf(image);
    const std::string path = folder.File("loaded.kdta");
    settings::testing::WriteAll(path, settings::FormatSettingsText(image, comments));
    host.answers.push_back(convert ? Answer::Yes : Answer::No);
    editor.ReadSettingsPath(path);
    host.answers.clear();
    host.Clear();
  }
  // The image at initial values with settings version `version`.
  static settings::SettingsImage Fresh(int version) {
    settings::SettingsImage image{};
    settings::CommentTexts comments{};
    settings::InitializeSettings(image, comments);
    settings::SetModelAndVersion(image, 1, version);
    return image;
  }

  // Sets the shown window's "Window Using" and inspection function on the Search /
  // Inspection window page, as a user would.
  void UseWindow(int function) {
    editor.ClickPageButton(kSearchInspectionPage);
    Choose(RightRow(1), 1);
    Choose(RightRow(2), function);
  }

  settings::testing::TempFolder folder;
  ScriptedHost host;
  Editor editor{host};
};

}  // namespace kyr::editor
