// The editor window driven through its real widgets, on the offscreen platform and on an X
// server with a window manager.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli.h"
#include "common/qt_input.h"
#include "common/recent_files.h"
#include "common/text_names.h"
#include "csv/export_csv.h"
#include "editor/control_ids.h"
#include "settings/initial_values.h"
#include "settings/settings_file.h"
#include "settings/settings_image.h"
#include "settings/test_support.h"
#include "strings/strings.h"
#include "strings/text_ids.h"
#include "tolvane_app.h"

namespace kyr::tolvane {
namespace {

using settings::testing::TempFolder;
using userport::Answer;
using userport::Message;

// One QApplication for the test process, on the chosen platform; deleted after the last
// test, which also lets Qt release the font library's caches.
QApplication* g_app = nullptr;

class QtEnvironment : public ::testing::Environment {
 public:
  void TearDown() override {
    delete g_app;
    g_app = nullptr;
  }
};
[[maybe_unused]] ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

QApplication& App() {
  static int argc = 1;
  static char name[] = "tolvane_window_tests";
  static char* argv[] = {name, nullptr};
  if (g_app == nullptr) {
    test_common::ChooseTestPlatform();
    g_app = new QApplication(argc, argv);
  }
  return *g_app;
}

struct FileRequest {
  FileDialogKind kind;
  std::vector<userport::FileFilter> filters;
  std::string initial_name;
  bool window_enabled;
};

// The window with scripted dialogs: boxes answered from `answers` (else OK / No), file
// dialogs from `files` (else Cancel); every request recorded.
class Window {
 public:
  explicit Window(const char* lang = "en") {
    App();
    RunCommandLine({"--lang", lang});
    app_ = std::make_unique<CTolvaneApp>();
    app_->Host().SetMessageAnswerer([this](const Message& message) {
      // The unsaved-edits question is answered and counted apart from the other boxes.
      if (message.string_id == TextNumber(EditorText::kUnsavedEdits)) {
        ++unsaved_edits_questions;
        return unsaved_edits_answer;
      }
      messages.push_back(message);
      if (answers.empty())
        return message.buttons == userport::Buttons::Ok ? Answer::Ok : Answer::No;
      const Answer answer = answers.front();
      answers.pop_front();
      return answer;
    });
    app_->Host().SetFileAnswerer([this](FileDialogKind kind,
                                        const std::vector<userport::FileFilter>& filters,
                                        const std::string& initial) {
      file_requests.push_back({kind, filters, initial, Dialog().isEnabled()});
      std::optional<std::string> file;
      if (!files.empty()) {
        file = files.front();
        files.pop_front();
      }
      return file;
    });
    Dialog().StartUp();
    EXPECT_TRUE(test_common::ShowActive(Dialog()));
  }

  CTolvaneDlg& Dialog() { return app_->Dialog(); }
  CTolvaneApp& Editor() { return *app_; }
  template <class T>
  T* Get(int id) {
    T* widget = Dialog().findChild<T*>(QString::number(id));
    EXPECT_NE(widget, nullptr) << "no control " << id;
    return widget;
  }
  std::string Label(int id) { return Get<QLabel>(id)->text().toStdString(); }
  std::string EditText(int id) { return Get<QLineEdit>(id)->text().toStdString(); }
  void Type(int edit_id, const QString& text) {
    QLineEdit* edit = Get<QLineEdit>(edit_id);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
  }
  void Click(int id) { QTest::mouseClick(Get<QAbstractButton>(id), Qt::LeftButton); }
  void Choose(int combo_id, int index) { Get<QComboBox>(combo_id)->setCurrentIndex(index); }
  std::vector<EditorText> MessageIds() const {
    std::vector<EditorText> ids;
    for (const Message& m : messages) ids.push_back(static_cast<EditorText>(m.string_id));
    return ids;
  }

  std::deque<Answer> answers;
  Answer unsaved_edits_answer = Answer::Discard;
  int unsaved_edits_questions = 0;
  std::deque<std::optional<std::string>> files;
  std::vector<Message> messages;
  std::vector<FileRequest> file_requests;

 private:
  std::unique_ptr<CTolvaneApp> app_;
};

// Initial values, but settings version 2.
void WriteVersionTwoFile(const std::string& path) {
  settings::SettingsImage image{};
  settings::CommentTexts comments{};
  settings::InitializeSettings(image, comments);
  image[settings::kCommonBase] = 0x0201;
  ASSERT_EQ(settings::WriteSettingsFile(path, image, comments), settings::WriteResult::kWritten);
}

constexpr int kGreenGainEdit = 1046;      // L10 of page 1
constexpr int kShutterDirectEdit = 1022;  // L2 of page 1

TEST(TolvaneWindow, StartsOnPageOneOfBankZeroWindowOneWithEveryControlNamed) {
  Window w;
  EXPECT_EQ(w.Dialog().windowTitle().toStdString(), "KYR-TC Parameter Editor V2.01Beta[*]");
  EXPECT_FALSE(w.Dialog().windowIcon().pixmap(32, 32).isNull());
  EXPECT_EQ(settings::SettingsVersion(w.Editor().Model().Image()), 3);
  EXPECT_TRUE(w.Get<QRadioButton>(1008)->isChecked());
  EXPECT_EQ(w.Get<QComboBox>(editor::kBankSelector)->currentText().toStdString(), "0");
  EXPECT_EQ(w.Get<QComboBox>(editor::kWindowSelector)->currentText().toStdString(), "1");
  EXPECT_EQ(w.Get<QGroupBox>(editor::kLeftGroupBox)->title().toStdString(), "Camera Settings");
  EXPECT_EQ(w.Label(1017), "Shutter Speed*");
  EXPECT_EQ(w.EditText(kGreenGainEdit), "0");  // stored 3, shown minus the offset
  // Qt shows "&&" as one ampersand.
  EXPECT_EQ(w.Get<QRadioButton>(1015)->text().toStdString(), "Window Color && Position");
  EXPECT_EQ(w.Get<QLineEdit>(editor::kBankComment)->maxLength(), 20);

  // A blank row: empty label, both controls disabled.
  EXPECT_EQ(w.Label(1063), "");
  EXPECT_FALSE(w.Get<QComboBox>(1064)->isEnabled());
  EXPECT_FALSE(w.Get<QLineEdit>(1065)->isEnabled());

  for (const auto& row : editor::kRowControls) {
    w.Get<QLabel>(row.label);
    w.Get<QComboBox>(row.combo);
    w.Get<QLineEdit>(row.edit);
  }
  for (int id : {editor::kBankDown, editor::kBankUp, editor::kWindowDown, editor::kWindowUp,
                 editor::kReadSettings, editor::kSaveSettings, editor::kInitialize,
                 editor::kGenerateCsv, editor::kExit}) {
    w.Get<QPushButton>(id);
  }
  // One size, so no maximise button.
  EXPECT_EQ(w.Dialog().minimumSize(), w.Dialog().maximumSize());
  EXPECT_FALSE(w.Dialog().windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(w.Dialog().windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
  const QSize size = w.Dialog().frameGeometry().size();
  EXPECT_LE(size.width(), 1366);
  EXPECT_LE(size.height(), 720);  // room for a title bar and a panel on a 768-line screen
}

TEST(TolvaneWindow, RefusedValueKeepsPageBankAndTypedText) {
  Window w;
  w.Type(kGreenGainEdit, "5");
  w.Choose(editor::kBankSelector, 3);
  ASSERT_EQ(w.MessageIds(), std::vector<EditorText>{EditorText::kIllegalValue});
  EXPECT_EQ(w.messages[0].caption, "Error");
  EXPECT_EQ(w.messages[0].icon, userport::Icon::Error);
  EXPECT_NE(w.messages[0].text.find("-3"), std::string::npos);
  EXPECT_EQ(w.Get<QComboBox>(editor::kBankSelector)->currentIndex(), 0);
  EXPECT_EQ(w.EditText(kGreenGainEdit), "5");
  EXPECT_EQ(w.Dialog().focusWidget(), w.Get<QLineEdit>(kGreenGainEdit));

  // Leaving the page and the bank arrows are refused the same way.
  w.Click(1010);
  w.Click(editor::kBankUp);
  EXPECT_EQ(w.MessageIds(),
            (std::vector<EditorText>{EditorText::kIllegalValue, EditorText::kIllegalValue,
                                     EditorText::kIllegalValue}));
  EXPECT_TRUE(w.Get<QRadioButton>(1008)->isChecked());
  EXPECT_FALSE(w.Get<QRadioButton>(1010)->isChecked());
  EXPECT_EQ(w.Label(1017), "Shutter Speed*");
  EXPECT_EQ(w.Get<QComboBox>(editor::kBankSelector)->currentIndex(), 0);
  EXPECT_EQ(w.EditText(kGreenGainEdit), "5");

  // Once the value is in range the same bank change goes through.
  w.Type(kGreenGainEdit, "4");
  w.Type(kShutterDirectEdit, "1234");
  w.Click(editor::kBankUp);
  EXPECT_EQ(w.messages.size(), 3u);
  EXPECT_EQ(w.Get<QComboBox>(editor::kBankSelector)->currentIndex(), 1);
  EXPECT_EQ(w.EditText(kGreenGainEdit), "4");        // a common setting
  EXPECT_EQ(w.EditText(kShutterDirectEdit), "228");  // bank 1's own value
}

TEST(TolvaneWindow, EnterClicksOnlyFocusedButtonsAndEscapeNeverCloses) {
  TempFolder folder;
  Window w;
  using test_common::FocusOn;
  using test_common::PressKey;
  // Enter in an edit: no default action, nothing asked.
  w.Type(kShutterDirectEdit, "99999");
  PressKey(w.Dialog(), Qt::Key_Return);
  EXPECT_TRUE(w.messages.empty());
  EXPECT_TRUE(w.file_requests.empty());

  // Escape anywhere leaves the window open.
  PressKey(w.Dialog(), Qt::Key_Escape);
  FocusOn(*w.Get<QComboBox>(1005));
  PressKey(w.Dialog(), Qt::Key_Escape);
  EXPECT_TRUE(w.Dialog().isVisible());

  // Enter on the focused Save Settings button saves (after the range check).
  w.Type(kShutterDirectEdit, "300");
  QPushButton* save = w.Get<QPushButton>(editor::kSaveSettings);
  FocusOn(*save);
  w.files.push_back(folder.File("saved"));
  PressKey(w.Dialog(), Qt::Key_Return);
  ASSERT_EQ(w.file_requests.size(), 1u);
  const FileRequest& request = w.file_requests[0];
  EXPECT_EQ(request.kind, FileDialogKind::Save);
  ASSERT_EQ(request.filters.size(), 2u);
  EXPECT_EQ(request.filters[0].label, "KYR data file ( *.kdta )");
  EXPECT_EQ(request.filters[1].label, "All files(*.*)");
  EXPECT_EQ(request.initial_name, "");
  EXPECT_FALSE(request.window_enabled);
  EXPECT_TRUE(w.Dialog().isEnabled());
  EXPECT_TRUE(w.messages.empty());
  settings::SettingsImage saved{};
  ASSERT_EQ(settings::ReadSettingsFile(folder.File("saved.kdta"), saved),
            settings::ReadResult::kComplete);
  EXPECT_EQ(saved[1], 300);  // bank 0 word 1: "Shutter Direct"

  // Enter on a focused combo does nothing either; EXIT with a value the page would refuse
  // asks about it as an unsaved edit, and closes on Discard without the range message.
  FocusOn(*w.Get<QComboBox>(1005));
  PressKey(w.Dialog(), Qt::Key_Return);
  EXPECT_EQ(w.file_requests.size(), 1u);
  w.Type(kShutterDirectEdit, "99999");
  w.Click(editor::kExit);
  EXPECT_EQ(w.unsaved_edits_questions, 1);
  EXPECT_FALSE(w.Dialog().isVisible());
  EXPECT_TRUE(w.messages.empty());
}

TEST(TolvaneWindow, JudgmentColumnFollowsWindowUsingAndInspectFunction) {
  Window w;
  w.Click(1013);
  QComboBox* using_combo = w.Get<QComboBox>(1082);
  QComboBox* function = w.Get<QComboBox>(1085);

  w.Choose(1082, 1);  // USE
  EXPECT_TRUE(function->isEnabled());
  w.Choose(1085, 1);  // CONTOUR
  EXPECT_EQ(w.Label(1087), "ContourThrshld#");
  EXPECT_EQ(w.Label(1108), "PositionAdjust#");  // R10
  EXPECT_TRUE(w.Get<QLineEdit>(1110)->isEnabled());

  w.Choose(1085, 2);  // DIFFERNC
  EXPECT_EQ(w.Label(1087), "Diff.Threshold#");
  EXPECT_EQ(w.Label(1090), "Diff. Cutoff#");
  EXPECT_EQ(w.Label(1102), "PositionAdjust#");  // R8
  EXPECT_EQ(w.Label(1108), "");                 // R10 blank now
  EXPECT_FALSE(w.Get<QLineEdit>(1110)->isEnabled());

  // Unused: the rows keep their values but cannot be edited.
  const std::string threshold = w.EditText(1089);
  w.Choose(1082, 0);
  EXPECT_EQ(using_combo->currentIndex(), 0);
  EXPECT_FALSE(function->isEnabled());
  EXPECT_FALSE(w.Get<QLineEdit>(1089)->isEnabled());
  EXPECT_EQ(w.EditText(1089), threshold);
  EXPECT_FALSE(threshold.empty());
}

TEST(TolvaneWindow, ReadingAVersionTwoFileAsksToConvert) {
  TempFolder folder;
  const std::string path = folder.File("old.kdta");
  WriteVersionTwoFile(path);
  Window w;
  w.Click(1011);  // Output / Other Settings: "AngleOut Start" exists from version 3 on
  EXPECT_EQ(w.Label(1060), "AngleOut Start");

  w.files.push_back(path);
  w.answers.push_back(Answer::No);
  w.Click(editor::kReadSettings);
  ASSERT_EQ(w.MessageIds(), std::vector<EditorText>{EditorText::kConvertToLatest});
  EXPECT_EQ(w.messages[0].caption, "Warning");
  EXPECT_EQ(w.messages[0].buttons, userport::Buttons::YesNo);
  EXPECT_EQ(w.file_requests[0].kind, FileDialogKind::Open);
  EXPECT_EQ(settings::SettingsVersion(w.Editor().Model().Image()), 2);
  EXPECT_EQ(w.Label(1060), "");
  EXPECT_FALSE(w.Get<QComboBox>(1061)->isEnabled());
  EXPECT_TRUE(w.Dialog().isEnabled());

  // The next dialog starts from the file read; Yes converts.
  w.files.push_back(path);
  w.answers.push_back(Answer::Yes);
  w.Click(editor::kReadSettings);
  EXPECT_EQ(w.file_requests[1].initial_name, path);
  EXPECT_EQ(w.MessageIds(),
            (std::vector<EditorText>{EditorText::kConvertToLatest, EditorText::kConvertToLatest}));
  EXPECT_EQ(settings::SettingsVersion(w.Editor().Model().Image()), 3);
  EXPECT_EQ(w.Label(1060), "AngleOut Start");
}

// Ctrl+O and Ctrl+S are Read Settings and Save Settings; a .kdta dropped on the window is read
// as Read Settings reads a chosen one, and anything else is refused at the drag.
TEST(TolvaneWindow, DesktopKeysAndADroppedFileReachTheReadAndSaveCommands) {
  TempFolder folder;
  const std::string path = folder.File("old.kdta");
  WriteVersionTwoFile(path);
  Window w;
  QTest::keyClick(&w.Dialog(), Qt::Key_O, Qt::ControlModifier);
  QTest::keyClick(&w.Dialog(), Qt::Key_S, Qt::ControlModifier);
  ASSERT_EQ(w.file_requests.size(), 2u);
  EXPECT_EQ(w.file_requests[0].kind, FileDialogKind::Open);
  EXPECT_EQ(w.file_requests[1].kind, FileDialogKind::Save);

  struct Drop {
    std::vector<std::string> files;
    bool taken;
  };
  const std::string other = folder.File("notes.csv");
  for (const Drop& drop : {Drop{{other}, false}, Drop{{path, path}, false}, Drop{{path}, true}}) {
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& file : drop.files)
      urls << QUrl::fromLocalFile(QString::fromStdString(file));
    data.setUrls(urls);
    const QPoint centre = w.Dialog().rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w.Dialog(), &enter);
    EXPECT_EQ(enter.isAccepted(), drop.taken) << drop.files.front();
    if (!drop.taken) continue;
    QDropEvent dropped(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w.Dialog(), &dropped);
  }
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.messages.empty(); }));
  EXPECT_EQ(w.MessageIds(),
            std::vector<EditorText>{
                EditorText::kConvertToLatest});  // asked to convert, as after Read Settings
  EXPECT_EQ(settings::SettingsVersion(w.Editor().Model().Image()), 2);
}

// The entries of the Recent Files menu as a click on the button opens it; `choose` (0-based)
// is then triggered, or the menu closed.
std::vector<std::string> RecentMenuThroughTheButton(Window& w, int choose = -1) {
  std::vector<std::string> entries;
  QTimer::singleShot(50, [&] {
    QMenu* menu = w.Dialog().RecentMenu();
    for (QAction* action : menu->actions()) {
      if (!action->isSeparator()) entries.push_back(action->text().toStdString());
    }
    if (choose >= 0) menu->actions().at(choose)->trigger();
    menu->close();
  });
  w.Click(editor::kRecentFiles);
  QCoreApplication::processEvents();
  return entries;
}

// Files read or saved head the Recent Files menu, eight at most and each once; a file that
// has gone is dropped; a choice is read as Read Settings reads; the list outlives the window;
// Generate CSV offers the open file.
TEST(TolvaneWindow, RecentFilesOfferWhatWasLastReadOrSaved) {
  TempFolder folder;
  app_common::ClearRecentFiles();
  const auto entry = [&](int n, const std::string& name) {
    return "&" + std::to_string(n) + " " + name + "  (" + folder.path().string() + ")";
  };
  {
    Window w;
    EXPECT_FALSE(w.Get<QPushButton>(editor::kRecentFiles)->isEnabled());
    for (int i = 0; i < 10; ++i) {
      const std::string name = "s" + std::to_string(i) + ".kdta";
      w.files.push_back(folder.File(name));
      w.Click(editor::kSaveSettings);
    }
    w.files.push_back(folder.File("s3.kdta"));
    w.Click(editor::kReadSettings);
    EXPECT_TRUE(w.Get<QPushButton>(editor::kRecentFiles)->isEnabled());
    w.Click(editor::kGenerateCsv);
    EXPECT_EQ(w.file_requests.back().initial_name, folder.File("s3.kdta"));
  }
  std::filesystem::remove(folder.File("s8.kdta"));
  Window w;
  const std::vector<std::string> shown = RecentMenuThroughTheButton(w, 1);
  EXPECT_EQ(shown,
            (std::vector<std::string>{entry(1, "s3.kdta"), entry(2, "s9.kdta"), entry(3, "s7.kdta"),
                                      entry(4, "s6.kdta"), entry(5, "s5.kdta"), entry(6, "s4.kdta"),
                                      entry(7, "s2.kdta"),
                                      std::string(LoadString(EditorText::kClearRecentFiles))}));
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return w.Editor().Model().OpenFile() == folder.File("s9.kdta"); }));
  EXPECT_EQ(app_common::RecentFiles().front().toStdString(), folder.File("s9.kdta"));

  RecentMenuThroughTheButton(w, 8);  // Clear the List
  EXPECT_TRUE(app_common::RecentFiles().isEmpty());
  EXPECT_FALSE(w.Get<QPushButton>(editor::kRecentFiles)->isEnabled());
}

// A file that cannot be read and a CSV written: the message's second line names the file.
TEST(TolvaneWindow, FileMessagesNameTheFileOnTheirSecondLine) {
  TempFolder folder;
  const std::string missing = folder.File("missing.kdta");
  const std::string listed = folder.File("listed.kdta");
  WriteVersionTwoFile(listed);
  Window w;
  w.files = {missing, listed};
  w.Click(editor::kReadSettings);
  w.Click(editor::kGenerateCsv);
  const auto text = [](EditorText id) { return std::string(LoadString(id)); };
  EXPECT_EQ(w.MessageIds(),
            (std::vector<EditorText>{EditorText::kFailToOpenSettings, EditorText::kCsvComplete}));
  ASSERT_EQ(w.messages.size(), 2u);
  EXPECT_EQ(w.messages[0].text,
            text(EditorText::kFailToOpenSettings) + "\n" + missing + ": " + std::strerror(ENOENT));
  EXPECT_EQ(w.messages[1].text, text(EditorText::kCsvComplete) + "\n" + csv::CsvPathFor(listed));
}

TEST(TolvaneWindow, JapaneseWindowComesFromTheJapaneseTexts) {
  Window w("ja");
  EXPECT_EQ(w.Label(1017), "シャッタ速度*");
  EXPECT_EQ(w.Get<QRadioButton>(1008)->text().toStdString(), "カメラ／照明");
  EXPECT_EQ(w.Get<QGroupBox>(editor::kLeftGroupBox)->title().toStdString(), "カメラ設定");
  w.Type(kGreenGainEdit, "9");
  w.Click(1010);
  ASSERT_EQ(w.messages.size(), 1u);
  EXPECT_EQ(w.messages[0].text.rfind("編集した設定値範囲が異常です。", 0), 0u);
}

// The real widgets: the boxes and dialogs are found while they are up, checked, and closed.
TEST(TolvaneWindow, RealMessageBoxesAndFileDialogCarryCaptionsButtonsAndFilters) {
  App();
  RunCommandLine({"--lang", "en"});
  CTolvaneApp app;
  app.Dialog().StartUp();
  app.Dialog().show();

  std::vector<std::string> seen;
  std::function<void()> answer_box = [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) {
      QTimer::singleShot(10, answer_box);
      return;
    }
    seen.push_back(box->windowTitle().toStdString() + "|" + box->text().toStdString());
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Cancel));
    EXPECT_NE(box->button(QMessageBox::Yes), nullptr);
    EXPECT_NE(box->button(QMessageBox::No), nullptr);
    box->button(QMessageBox::Cancel)->click();
  };
  QTimer::singleShot(0, answer_box);
  app.Dialog().findChild<QPushButton*>(QString::number(editor::kInitialize))->click();
  ASSERT_EQ(seen.size(), 1u);  // Cancel ends the questions
  EXPECT_EQ(seen[0],
            "Warning|Reset the setting values in the displaying bank to initial values. Is it OK?");

  bool checked = false;
  std::function<void()> cancel_dialog = [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) {
      QTimer::singleShot(10, cancel_dialog);
      return;
    }
    EXPECT_EQ(dialog->nameFilters(), (QStringList{"KYR data file ( *.kdta )", "All files(*.*)"}));
    EXPECT_EQ(dialog->selectedNameFilter().toStdString(), "KYR data file ( *.kdta )");
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_FALSE(app.Dialog().isEnabled());
    checked = true;
    dialog->reject();
  };
  QTimer::singleShot(0, cancel_dialog);
  app.Dialog().findChild<QPushButton*>(QString::number(editor::kSaveSettings))->click();
  EXPECT_TRUE(checked);
  EXPECT_TRUE(app.Dialog().isEnabled());
}

// Every way of throwing the edits away asks first: Cancel keeps the window and the typed
// value, Save writes them, Discard lets the command go on.
TEST(TolvaneWindow, UnsavedEditsAreAskedAboutBeforeTheyAreLost) {
  TempFolder folder;
  const std::string other = folder.File("other.kdta");
  const std::string foreign = folder.File("foreign.kdta");
  const std::string saved = folder.File("saved.kdta");
  settings::SettingsImage image{};
  settings::CommentTexts comments{};
  settings::InitializeSettings(image, comments);
  ASSERT_EQ(settings::WriteSettingsFile(other, image, comments), settings::WriteResult::kWritten);
  settings::SetModelAndVersion(image, 2, 3);
  ASSERT_EQ(settings::WriteSettingsFile(foreign, image, comments), settings::WriteResult::kWritten);

  struct Way {
    const char* name;
    std::function<void(Window&)> act;
    bool closes;
  };
  const std::vector<Way> ways = {
      {"EXIT", [](Window& w) { w.Click(editor::kExit); }, true},
      {"title-bar close", [](Window& w) { w.Dialog().close(); }, true},
      {"Read Settings",
       [&](Window& w) {
         w.files.push_front(other);
         w.Click(editor::kReadSettings);
       },
       false},
      {"foreign model",
       [&](Window& w) {
         w.files.push_front(foreign);
         w.Click(editor::kReadSettings);
       },
       false},
  };
  for (const Way& way : ways) {
    for (const Answer answer : {Answer::Cancel, Answer::Save, Answer::Discard}) {
      SCOPED_TRACE(std::string(way.name) + " " + std::string(userport::AnswerName(answer)));
      std::filesystem::remove(saved);
      Window w;
      w.Type(kGreenGainEdit, "2");
      EXPECT_TRUE(w.Dialog().isWindowModified());
      w.unsaved_edits_answer = answer;
      if (answer == Answer::Save) w.files.push_back(saved);
      way.act(w);
      EXPECT_EQ(w.unsaved_edits_questions, 1);
      const bool went_on = answer != Answer::Cancel;
      EXPECT_EQ(w.Dialog().isVisible(), !(way.closes && went_on));
      if (!way.closes) {
        EXPECT_EQ(w.EditText(kGreenGainEdit), went_on ? "0" : "2");
      }
      EXPECT_EQ(std::filesystem::exists(saved), answer == Answer::Save);
      if (answer == Answer::Save) {
        settings::SettingsImage written{};
        ASSERT_EQ(settings::ReadSettingsFile(saved, written), settings::ReadResult::kComplete);
        EXPECT_NE(written, image);
      }
    }
  }
}

// Nothing unsaved: EXIT closes at once. The title names the open file and carries the
// modified mark while edits are unsaved.
TEST(TolvaneWindow, TitleNamesTheOpenFileAndMarksUnsavedEdits) {
  TempFolder folder;
  const std::string path = folder.File("line-a.kdta");
  WriteVersionTwoFile(path);
  Window w;
  w.files.push_back(path);
  w.answers.push_back(Answer::No);
  w.Click(editor::kReadSettings);
  EXPECT_EQ(w.Dialog().windowTitle().toStdString(),
            "line-a.kdta[*] - KYR-TC Parameter Editor V2.01Beta");
  EXPECT_FALSE(w.Dialog().isWindowModified());
  w.Type(kGreenGainEdit, "1");
  EXPECT_TRUE(w.Dialog().isWindowModified());
  w.Type(kGreenGainEdit, "0");  // back to the value read
  EXPECT_FALSE(w.Dialog().isWindowModified());
  w.Click(editor::kExit);
  EXPECT_EQ(w.unsaved_edits_questions, 0);
  EXPECT_FALSE(w.Dialog().isVisible());
}

// A file named by a relative path is saved where it was read, and the real save dialog
// starts in its folder with its name.
TEST(TolvaneWindow, FileOpenedByARelativePathIsSavedInPlace) {
  TempFolder folder;
  std::filesystem::create_directory(folder.path() / "work");
  const std::string path = folder.File("work/a.kdta");
  WriteVersionTwoFile(path);
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(folder.path());
  Window w;
  WindowRequest request;
  request.file = "work/a.kdta";
  w.answers.push_back(Answer::No);
  w.Editor().Prepare(request);
  std::filesystem::current_path("/");

  w.Type(kGreenGainEdit, "1");
  w.Click(editor::kSaveSettings);
  ASSERT_EQ(w.file_requests.size(), 1u);
  EXPECT_EQ(w.file_requests[0].initial_name, path);

  QString folder_shown;
  QStringList names_shown;
  std::function<void()> cancel_dialog = [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) {
      QTimer::singleShot(10, cancel_dialog);
      return;
    }
    folder_shown = dialog->directory().absolutePath();
    names_shown = dialog->selectedFiles();
    dialog->reject();
  };
  w.Editor().Host().SetFileAnswerer({});
  QTimer::singleShot(0, cancel_dialog);
  w.Click(editor::kSaveSettings);
  std::filesystem::current_path(previous);
  EXPECT_EQ(folder_shown.toStdString(), (folder.path() / "work").string());
  EXPECT_EQ(names_shown, QStringList{QString::fromStdString(path)});
}

struct ProcessRun {
  int status;
  std::string err;
};

ProcessRun Tolvane(const TempFolder& folder, const std::string& arguments) {
  const std::string err = folder.File("err.txt");
  const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                              std::string(KYR_TOLVANE) + " " + arguments +
                              " </dev/null >/dev/null 2>" + err;
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, settings::testing::ReadAll(err)};
}

// The compare button lists the differences with a file; a click shows the setting's page,
// bank and window. Typed values are stored before the comparison.
TEST(TolvaneWindow, CompareListsDifferencesAndAClickShowsTheSetting) {
  TempFolder folder;
  settings::SettingsImage image{};
  settings::CommentTexts comments{};
  settings::InitializeSettings(image, comments);
  image[settings::WindowWord(3, 1, 0)] = 0x643C;  // bank 3, window 2: "Inspect X-Pos." 60
  image[settings::BankWord(6, 2)] = 90;           // bank 6: "Light#1 Bright"
  const std::string other = folder.File("other.kdta");
  ASSERT_EQ(settings::WriteSettingsFile(other, image, comments), settings::WriteResult::kWritten);

  Window w;
  w.Type(kGreenGainEdit, "2");
  w.files.push_back(other);
  w.Click(editor::kCompareFile);
  QListWidget* list = w.Dialog().ComparisonList();
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->count(), 3);
  EXPECT_EQ(list->item(0)->text().toStdString(), "Common: Green Gain: 2 -> 0");
  EXPECT_EQ(list->item(1)->text().toStdString(), "Bank 3, Window 2: Inspect X-Pos.: 50 -> 60");
  EXPECT_EQ(list->item(2)->text().toStdString(), "Bank 6: Light#1 Bright: 128 -> 90");
  EXPECT_EQ(w.file_requests.size(), 1u);

  const struct {
    int row;
    int page;
    int bank;
    int window;
  } jumps[] = {{1, editor::kWindowColorPositionPage, 3, 1},
               {2, editor::kCameraLightingPage, 6, 1},
               {0, editor::kCameraLightingPage, 6, 1}};
  for (const auto& jump : jumps) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(jump.row)).center());
    EXPECT_EQ(w.Editor().Model().CurrentPage(), jump.page) << jump.row;
    EXPECT_EQ(w.Editor().Model().CurrentBank(), jump.bank) << jump.row;
    EXPECT_EQ(w.Editor().Model().CurrentWindow(), jump.window) << jump.row;
    EXPECT_EQ(w.Get<QComboBox>(editor::kBankSelector)->currentIndex(), jump.bank);
  }
  // Beside the editor, not over the fields, where the screen has room for both.
  const QRect beside = w.Dialog().ComparisonWindow()->frameGeometry();
  const QRect editor_area = w.Dialog().frameGeometry();
  if (beside.width() + editor_area.width() <= w.Dialog().screen()->availableGeometry().width()) {
    EXPECT_FALSE(beside.intersects(editor_area));
  }
  // The setting made equal and stored by the jump a click makes: the list is made again.
  w.Type(kGreenGainEdit, "0");
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->item(1)).center());
  QCoreApplication::processEvents();
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->item(0)->text().toStdString(), "Bank 3, Window 2: Inspect X-Pos.: 50 -> 60");
  w.files.push_back(std::nullopt);
  w.Click(editor::kCompareFile);  // cancelled: the last list stays
  EXPECT_EQ(list->count(), 2);
}

TEST(TolvaneScreenshot, RendersWithoutADisplayAndChecksItsOptions) {
  TempFolder folder;
  const std::string png = folder.File("p4.png");
  const ProcessRun run = Tolvane(folder, "--screenshot " + png + " --page 4 --bank 31 --window 16");
  ASSERT_EQ(run.status, 0) << run.err;
  const QImage image(QString::fromStdString(png));
  ASSERT_FALSE(image.isNull());
  EXPECT_LE(image.width(), 1366);
  EXPECT_LE(image.height(), 720);
  EXPECT_EQ(run.err, "");

  // A file named at start goes through the read flow; unattended, the question is answered No.
  const std::string old_file = folder.File("old.kdta");
  WriteVersionTwoFile(old_file);
  const ProcessRun with_file = Tolvane(folder, "--screenshot " + png + " " + old_file);
  EXPECT_EQ(with_file.status, 0);
  EXPECT_EQ(with_file.err, "Would you like convert to latest version parameters?\n");

  EXPECT_EQ(Tolvane(folder, "--screenshot " + png + " --page 6").status, 2);
  EXPECT_EQ(Tolvane(folder, "--screenshot " + png + " --window 0").status, 2);
  EXPECT_EQ(Tolvane(folder, "--screenshot " + folder.File("no/such/dir.png")).status, 1);
  const ProcessRun no_display = Tolvane(folder, "");
  EXPECT_EQ(no_display.status, 1);
  EXPECT_NE(no_display.err.find("--screenshot"), std::string::npos);
}

}  // namespace
}  // namespace kyr::tolvane
