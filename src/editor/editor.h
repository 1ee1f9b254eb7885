#pragma once
// The settings editor: one settings image, the 32 bank comment texts, the editor state
// (page, bank, window, file name) and the model of the window's controls.
//
// The window is a view. User input arrives through the action calls (typing, choosing an
// item, clicking a button); the editor runs the command, talks to the user through its
// EditorHost, fills the controls' state, and the view applies what TakeChanges reports.
//
// Nothing typed reaches the settings image until the shown page is stored
// (StorePageValues), which every change of page, bank or window and every save or
// initialise does first; a refused value stops the command and leaves the user on the
// same page, bank and window with the typed text in place.
#include <cstdint>
#include <string>
#include <string_view>

#include "editor/control_ids.h"
#include "editor/editor_host.h"
#include "editor/page_table.h"
#include "editor/value_entry.h"
#include "editor/window_model.h"
#include "settings/field_table.h"
#include "settings/settings_image.h"

namespace kyr::editor {

// The current bank while nothing is shown: the next refresh stores nothing.
constexpr int kNoBank = 255;

enum class ButtonResult { kHandled, kCloseWindow, kUnknownControl };

class Editor {
 public:
  explicit Editor(EditorHost& host);

  // Start-up: every bank and the common block at initial values, bank 0, window 1,
  // page 1 shown, no file name.
  void Start();

  // ---- User input --------------------------------------------------------------------
  // Text typed into a row's edit box; stored only when the page is stored.
  void TypeEditText(int edit_id, std::string_view text);
  // Text typed into the bank comment edit.
  void TypeComment(std::string_view text);
  // An item chosen in a row's combo (-1: no selection). On the Search / Inspection window
  // page, "Window Using", "Inspect Functn" and the unit selector rebuild the page.
  void SelectComboItem(int combo_id, int index);
  // A new selection in the bank (0..31) or window (0..15) selector.
  void SelectBank(int bank);
  void SelectWindow(int window);
  // A page button (1..5) was clicked.
  void ClickPageButton(int page);
  // Any push button or page button by control id: bank and window "<" ">", Read Settings,
  // Save Settings, Initialize, Generate CSV, EXIT (which asks the view to close once any
  // unsaved edits were saved or given up).
  ButtonResult ClickButton(int control_id);

  // ---- Commands ----------------------------------------------------------------------
  // Stores the shown page, then shows the checked page for the selected bank and window.
  // False when a typed value was refused (nothing else changes).
  bool RefreshMainWindow();
  // Stores the shown page field by field; false at the first refused value.
  [[nodiscard]] bool StorePageValues();
  // The page show operations: store the shown page, then fill the rows of the page.
  void ShowCameraLightingPage() { ShowPage(kCameraLightingPage, true); }
  void ShowInputPage() { ShowPage(kInputPage, true); }
  void ShowOutputOtherPage() { ShowPage(kOutputOtherPage, true); }
  void ShowSearchInspectionPage() { ShowPage(kSearchInspectionPage, true); }
  void ShowWindowColorPositionPage() { ShowPage(kWindowColorPositionPage, true); }

  void BankDown();
  void BankUp();
  void WindowDown();
  void WindowUp();
  void ReadSettings();  // open dialog, then ReadSettingsPath
  // Reads `path` as the Read Settings command does after its dialog: kFailToOpenSettings /
  // kIllegalContents, model check kNotKyrTc, silent 1-to-2 conversion, question
  // kConvertToLatest, the question about unsaved edits, then the page is shown anew. A file
  // that cannot be read, or Cancel, leaves the settings being edited as they are.
  void ReadSettingsPath(const std::string& path);
  // True when the settings were written.
  bool SaveSettings();
  void Initialize();
  // Lists a settings file as CSV beside it; the dialog offers the open file first.
  void GenerateCsv();

  // The settings to compare with a file: stores the shown page, asks for a settings file as
  // Read Settings does and reads it (kFailToOpenSettings / kIllegalContents), without touching the
  // open settings. `open` is the open settings as Save Settings would write them.
  struct ComparisonInput {
    settings::SettingsImage open;
    settings::SettingsImage file;
    std::string path;
  };
  std::optional<ComparisonInput> ChooseComparisonFile();
  // Shows `page` (1..5) of `bank` and `window` as the page buttons and selectors do.
  void ShowPlace(int page, int bank, int window);

  // ---- Field stores (used by StorePageValues; `word` is an image word index) ---------
  // The combo's selected index, masked to the field; no selection leaves the word as is.
  void StoreComboIndex(int combo_id, int word, int shift, std::uint16_t mask);
  // Each stores its edit's value, or refuses it (false) with the range message.
  bool StoreIntegerEdit(int edit_id, int word, int shift, std::uint16_t mask, int max, int offset);
  bool StoreTenthsEdit(int edit_id, int word, int shift, std::uint16_t mask, int max, int offset,
                       int unit);
  bool StoreAngleEdit(int edit_id, int word, int shift, std::uint16_t mask, int max, int offset);

  // ---- Unsaved edits ---------------------------------------------------------------
  // True when the settings, with what is typed on the shown page, would not be written as
  // they were last read or saved (a value the page would refuse counts as an edit).
  bool HasUnsavedEdits();
  // Before something throws the edits away: with unsaved edits, asks Save / Discard /
  // Cancel. True when the caller may go on (nothing unsaved, saved, or discarded).
  bool MayDiscardEdits();

  // ---- State -------------------------------------------------------------------------
  const WindowState& Window() const { return window_; }
  // What changed in Window() since the last call.
  Changes TakeChanges();

  int CurrentPage() const { return current_page_; }
  int CurrentBank() const { return current_bank_; }
  int CurrentWindow() const { return current_window_; }
  const settings::SettingsImage& Image() const { return image_; }
  settings::SettingsImage& Image() { return image_; }
  const settings::CommentTexts& Comments() const { return comments_; }
  // The path last chosen in a file dialog (after a listing, the listing's path).
  const std::string& FileName() const { return file_name_; }
  // The absolute path of the file the settings were last read from or saved to; empty
  // while they are initial values.
  const std::string& OpenFile() const { return open_file_; }

 private:
  // A row as the shown page filled it: what StorePageValues stores from it.
  enum class RowKind : std::uint8_t { kBlank, kChoice, kInteger, kTenths, kAngle, kThreshold };
  struct ShownRow {
    RowKind kind = RowKind::kBlank;
    const settings::Field* field = nullptr;
  };

  void ShowPage(int page, bool store_first);
  void ClearRows();
  void FillRow(const RowDef& def, int version, bool condition_met);
  void FillBlankRow(int row);
  void SetLabel(RowState& row, const RowDef& def, const settings::Field& field);
  void FillItems(RowState& row, const RowDef& def, const settings::Field& field);
  bool StoreRow(int row);
  bool Reject(int edit_id, NumberFormat format, int max, int offset);
  void SetCommentEdit();
  void CopyCommentEdit();
  int FieldWordOf(const settings::Field& field) const;
  unsigned FieldValue(const settings::Field& field) const;
  const std::string& EditText(int edit_id) const;
  Answer Ask(EditorText message_id, Buttons buttons, Answer default_answer);
  // `second_line`, when given, goes under the message's text: the file and why.
  void Tell(EditorText message_id, EditorText caption_id, Icon icon,
            const std::string& second_line = {});
  bool ReadFileInto(const std::string& path, settings::SettingsImage& image);
  bool MayReplace(const std::string& path);
  void ShowNewImage();
  void MarkSaved(const std::string& path);
  void MarkRow(int row) { changes_.rows.set(static_cast<std::size_t>(row)); }

  EditorHost& host_;
  settings::SettingsImage image_{};
  settings::CommentTexts comments_{};
  int current_page_ = kCameraLightingPage;
  int current_bank_ = kNoBank;
  int current_window_ = 0;
  std::string file_name_;
  std::string open_file_;
  // The words of the settings as last read or saved (comments in their words, as the file
  // holds them), and whether a store runs only to compare with them (no message, nothing moved).
  settings::SettingsImage saved_image_{};
  bool quiet_store_ = false;
  WindowState window_;
  Changes changes_;

  // The shown page's rows in store order, and the unit its thresholds were shown in.
  std::array<ShownRow, kRowCount> shown_{};
  std::array<int, kRowCount> store_order_{};
  int store_count_ = 0;
  int shown_unit_ = 0;
};

}  // namespace kyr::editor
