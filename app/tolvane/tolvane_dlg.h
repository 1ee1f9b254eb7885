#pragma once
// The editor's main window: a view of the editor model.
//
// Every widget carries its control id as its object name. User input goes to the model
// (typing, choosing, clicking); after each call the window copies what the model reports
// as changed back into the widgets, with their signals blocked so that nothing echoes.
// No editing rule lives here.
#include <QDialog>
#include <array>
#include <string>
#include <vector>

#include "compare/compare.h"
#include "editor/editor.h"

class QButtonGroup;
class QComboBox;
class QDragEnterEvent;
class QDropEvent;
class QMimeData;
class QGridLayout;
class QCloseEvent;
class QKeyEvent;
class QGroupBox;
class QLabel;
class QLayout;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QRadioButton;

namespace kyr::tolvane {

class CTolvaneDlg : public QDialog {
 public:
  explicit CTolvaneDlg(editor::Editor& editor, QWidget* parent = nullptr);
  ~CTolvaneDlg() override;
  CTolvaneDlg(const CTolvaneDlg&) = delete;
  CTolvaneDlg& operator=(const CTolvaneDlg&) = delete;

  // Dialog initialisation: the editor's start-up, then every control filled.
  void StartUp();
  // Reads `path` as Read Settings does after its dialog (a file named at start).
  void ReadFile(const std::string& path);
  // Copies what the model changed into the widgets.
  void ApplyModel();

  // The widget of a control id, or nullptr.
  QWidget* Control(int control_id) const;

  // Compares the open settings with a settings file: `path`, or when empty the one chosen in
  // the Read Settings dialog. The differences are listed in a window beside this one; a
  // click on a line shows the page, bank and window of its setting.
  void CompareWithFile(const std::string& path = {});
  // The list of the last comparison, or nullptr.
  QListWidget* ComparisonList() const { return comparison_list_; }
  QDialog* ComparisonWindow() const { return comparison_window_; }
  // Shows where the difference of the list's line `row` lies.
  void ShowDifference(int row);

  // Whether files read or saved go into the recent-files list (not in the screenshot mode,
  // which must leave the user's configuration alone).
  void SetRemembersFiles(bool remembers) { remembers_files_ = remembers; }
  // The Recent Files button's menu, filled anew each time it opens.
  QMenu* RecentMenu() const { return recent_menu_; }

 protected:
  // Enter clicks the focused button and goes no further; Escape never closes the window.
  // Controls pass both keys on to the window (buttons do not take Enter themselves).
  void keyPressEvent(QKeyEvent* event) override;
  // The title-bar close and Alt+F4 ask about unsaved edits first, as EXIT does.
  void closeEvent(QCloseEvent* event) override;
  // A dragged .kdta file is taken; dropped, it is read as Read Settings reads a chosen file.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  struct RowWidgets {
    QLabel* label = nullptr;
    QComboBox* combo = nullptr;
    QLineEdit* edit = nullptr;
    std::vector<std::string> items;  // what the combo holds, to refill it only on change
  };

  QLayout* BuildPageButtons();
  QLayout* BuildSelectors();
  QLayout* BuildCommandButtons();
  QGroupBox* BuildColumn(int control_id, int first_row, int row_count);
  QPushButton* MakeButton(int control_id, EditorText text_id);
  QComboBox* MakeSelector(int control_id, int first_number);

  void ApplyRow(int row, const editor::RowState& state);
  void ApplySelectors();
  void ApplyPageButtons();
  void ApplyComment();
  // The title: the open file's name, and the modified mark while edits are unsaved.
  void ApplyTitle();
  void ApplyModifiedMark();

  // Forwards a button to the model; EXIT closes the window once nothing unsaved is lost.
  void OnButton(int control_id);

  // The recent files as menu entries, the missing ones dropped; the button is enabled while
  // the list holds a file.
  void FillRecentMenu();
  void ApplyRecentButton();

  editor::Editor& editor_;
  std::array<QRadioButton*, editor::kPageCount> page_buttons_{};
  QButtonGroup* page_group_ = nullptr;
  QComboBox* bank_selector_ = nullptr;
  QComboBox* window_selector_ = nullptr;
  QLineEdit* comment_ = nullptr;
  QGroupBox* left_group_ = nullptr;
  QGroupBox* right_group_ = nullptr;
  std::array<RowWidgets, editor::kRowCount> rows_{};
  // The last comparison's file, and the open settings it was made against: when an edit
  // is stored, the list is made again against the same file.
  struct Compared {
    settings::SettingsImage file{};
    std::string path;
    settings::SettingsImage image{};
    settings::CommentTexts comments{};
  };
  void ShowComparison(const settings::SettingsImage& open);
  void RefreshComparison();
  void PlaceComparisonWindow();

  QDialog* comparison_window_ = nullptr;
  QListWidget* comparison_list_ = nullptr;
  std::vector<compare::Difference> differences_;
  Compared compared_;
  std::string titled_file_;
  QPushButton* recent_button_ = nullptr;
  QMenu* recent_menu_ = nullptr;
  bool remembers_files_ = true;
};

}  // namespace kyr::tolvane
