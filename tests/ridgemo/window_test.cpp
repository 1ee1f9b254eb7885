// The tool window on the offscreen platform with a simulated head unit: selections, the
// console keys, the monitor, picture clicks, Read Image and Write Settings through dialogs.
#include <gtest/gtest.h>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTranslator>
#include <fstream>
#include <iterator>
#include <sstream>

#include "common/fault_rule.h"
#include "images/canvas.h"
#include "images/raw_image.h"
#include "ridgemo/window_support.h"
#include "window/image_area.h"
#include "window/ridgemo_app.h"
#include "window/small_dialogs.h"

namespace kyr::ridgemo::testing {
namespace {

constexpr int kWaitMs = 5000;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// The buttons and boxes a running command or monitor disables.
bool CommandsEnabled(const WindowRig& rig) {
  for (int id : {kIdImageMonitor, kIdSaveBmp, kIdExit, kIdReadSettings, kIdWriteSettings,
                 kIdReadImage, kIdWriteImage, kIdTargetHead, kIdImageType}) {
    if (!rig.Control(id)->isEnabled()) return false;
  }
  return true;
}

// Qt's own buttons (message boxes, file dialogs) follow --lang from start-up on.
TEST(RidgemoWindow, QtStandardButtonsSpeakTheChosenLanguage) {
  struct Case {
    Lang lang;
    const char* cancel;
  };
  for (const Case& c : {Case{Lang::En, "Cancel"}, Case{Lang::Ja, "キャンセル"}}) {
    EnsureApplication();
    SetLanguage(c.lang);
    CRidgemoApp::SetUpApplication(*g_application);
    QMessageBox box(QMessageBox::Question, "t", "q", QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QString::fromUtf8(c.cancel));
    for (QTranslator* translator : g_application->findChildren<QTranslator*>()) {
      QCoreApplication::removeTranslator(translator);
      delete translator;
    }
    SetLanguage(Lang::En);
  }
}

TEST(RidgemoWindow, ControlsCaptionsAndStartState) {
  WindowRig rig;
  // The unit chooser starts on the first unit listed, which the title names.
  EXPECT_EQ(rig.window->windowTitle(), "KYR USB Communication Software V2.18s \u2014 KYRD0001");
  EXPECT_EQ(rig.Control<QPushButton>(kIdImageMonitor)->text(), "Image\nMonitor");
  EXPECT_EQ(rig.Control<QPushButton>(kIdWriteSettings)->text().replace('\n', ' '),
            "Write Settings to KYR [USB/Serial]");
  EXPECT_FALSE(rig.Control(kIdStop)->isEnabled());
  EXPECT_FALSE(rig.Control(kIdAbort)->isEnabled());
  EXPECT_TRUE(CommandsEnabled(rig));
  auto* port = rig.Control<QComboBox>(kIdPort);
  EXPECT_TRUE(port->isEditable());
  EXPECT_EQ(port->currentText(), "USB");
  EXPECT_EQ(port->itemText(9), "COM9");
  EXPECT_EQ(rig.Control<QComboBox>(kIdImageType)->itemText(3), "NG Save");
  EXPECT_EQ(rig.Control<QComboBox>(kIdTargetHead)->count(), 3);
  ASSERT_NE(rig.Control(kIdPicture), nullptr);
  EXPECT_EQ(rig.Control(kIdPicture)->y(), 65);  // the picture starts below the tool bar
}

TEST(RidgemoWindow, SelectionsAreReadAtStartAndWrittenOnExit) {
  TempFolder folder;
  const std::string path = folder.File("conf/ridgemo/selections.txt");
  std::filesystem::create_directories(folder.File("conf/ridgemo"));
  WriteText(path, "2\r\n3\r\n/dev/ttyUSB7");
  {
    WindowRig rig(path);
    EXPECT_EQ(rig.Control<QComboBox>(kIdTargetHead)->currentIndex(), 2);
    EXPECT_EQ(rig.Control<QComboBox>(kIdImageType)->currentIndex(), 3);
    EXPECT_EQ(rig.Control<QComboBox>(kIdPort)->currentText(), "/dev/ttyUSB7");
    rig.Control<QComboBox>(kIdTargetHead)->setCurrentIndex(1);
    rig.Control<QComboBox>(kIdPort)->setEditText("COM2");
    rig.Click(kIdExit);
    EXPECT_FALSE(rig.window->isVisible());
    EXPECT_TRUE(rig.watcher.boxes.empty());
  }
  EXPECT_EQ(ReadAll(path), "1\r\n3\r\nCOM2");

  WriteText(path, "7\n1\n");  // head out of range, no third line
  {
    WindowRig rig(path);
    EXPECT_EQ(rig.Control<QComboBox>(kIdTargetHead)->currentIndex(), 0);
    EXPECT_EQ(rig.Control<QComboBox>(kIdImageType)->currentIndex(), 1);
    EXPECT_EQ(rig.Control<QComboBox>(kIdPort)->currentText(), "USB");
  }

  // A selections file that cannot be written: message 135, and the window closes anyway.
  WriteText(folder.File("plain"), "x");
  WindowRig rig(folder.File("plain/selections.txt"));
  rig.Click(kIdExit);
  ASSERT_EQ(rig.watcher.boxes.size(), 1u);
  EXPECT_EQ(rig.watcher.boxes[0].text, "Fail to write the setting file.");
  EXPECT_EQ(rig.watcher.boxes[0].title, "Error");
  EXPECT_EQ(rig.watcher.boxes[0].icon, QMessageBox::Critical);
  EXPECT_FALSE(rig.window->isVisible());
}

using test_common::FocusOn;
using test_common::PressKey;
using test_common::TypeText;

// With the monitor stopped every key belongs to the focused control: a device path with
// digits can be typed and edited; Escape closes nothing; Enter on a button clicks it.
TEST(RidgemoWindow, WithTheMonitorStoppedKeysReachTheFocusedBox) {
  WindowRig rig;
  auto* port = rig.Control<QComboBox>(kIdPort);
  FocusOn(*port);
  port->lineEdit()->selectAll();
  TypeText(*rig.window, "/dev/ttyUSB0");
  EXPECT_EQ(port->currentText(), "/dev/ttyUSB0");
  struct Edit {
    std::vector<Qt::Key> keys;
    const char* text;
  };
  const Edit edits[] = {
      {{Qt::Key_Left, Qt::Key_Left, Qt::Key_Delete}, "/dev/ttyUS0"},
      {{Qt::Key_Home, Qt::Key_Delete}, "dev/ttyUS0"},
      {{Qt::Key_End, Qt::Key_Backspace, Qt::Key_1}, "dev/ttyUS1"},
  };
  for (const Edit& edit : edits) {
    for (Qt::Key key : edit.keys) PressKey(*rig.window, key);
    EXPECT_EQ(port->currentText(), edit.text);
  }
  PressKey(*rig.window, Qt::Key_8, Qt::KeypadModifier);
  EXPECT_EQ(port->currentText(), "dev/ttyUS18");
  PressKey(*rig.window, Qt::Key_Return);
  PressKey(*rig.window, Qt::Key_Escape);
  FocusOn(*rig.Control(kIdImageType));
  PressKey(*rig.window, Qt::Key_Escape);
  QCoreApplication::processEvents();
  EXPECT_TRUE(rig.window->isVisible());
  EXPECT_EQ(rig.window->Monitor().console_key, 0);
  EXPECT_EQ(rig.watcher.dialogs_seen, 0);

  FocusOn(*rig.Control(kIdExit));
  PressKey(*rig.window, Qt::Key_Return);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !rig.window->isVisible(); }, kWaitMs));
  EXPECT_EQ(ReadAll(rig.window->SelectionsPath()), "0\r\n0\r\ndev/ttyUS18");
}

// While the monitor runs the console keys are taken wherever the focus is and reach the head
// with the next frame request; letters still reach the box.
TEST(RidgemoWindow, WhileTheMonitorRunsConsoleKeysReachTheHead) {
  WindowRig rig;
  auto* port = rig.Control<QComboBox>(kIdPort);
  rig.Click(kIdImageMonitor);
  const auto& engine = rig.unit.engine();
  ASSERT_TRUE(QTest::qWaitFor([&] { return engine.Stats().monitor_requests >= 8; }, kWaitMs));
  struct Case {
    QWidget* focus;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int code;
  };
  const Case cases[] = {
      {port, Qt::Key_2, {}, 7},
      {port, Qt::Key_8, Qt::KeypadModifier, 13},
      {port, Qt::Key_Return, {}, 2},  // Enter on a box
      {port, Qt::Key_Escape, {}, 5},
      {rig.Control(kIdPicture), Qt::Key_Home, {}, 1},
      {rig.Control(kIdPicture), Qt::Key_Left, {}, 9},
      {rig.Control(kIdHelp), Qt::Key_Delete, {}, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    FocusOn(*c.focus);
    const QString before = port->currentText();
    PressKey(*rig.window, c.key, c.modifiers);
    EXPECT_EQ(port->currentText(), before);
    EXPECT_TRUE(QTest::qWaitFor([&] { return engine.MonitorState().last_key == c.code; }, kWaitMs));
    EXPECT_EQ(rig.window->Monitor().console_key, 0);  // sent, then cleared
    EXPECT_TRUE(rig.window->isVisible());
  }
  FocusOn(*port);
  TypeText(*rig.window, "x");
  EXPECT_TRUE(port->currentText().endsWith('x'));
  rig.Click(kIdStop);
  ASSERT_TRUE(QTest::qWaitFor([&] { return CommandsEnabled(rig); }, kWaitMs));
  EXPECT_TRUE(rig.watcher.boxes.empty());
}

// A session on the simulated head reaches it whatever a real session remembered, and leaves
// the remembered selections as they were.
TEST(RidgemoWindow, SimulatedHeadSessionIgnoresAndKeepsTheRememberedPortAndHead) {
  TempFolder folder;
  const std::string path = folder.File("selections");
  const std::string remembered = "1\r\n2\r\n/dev/ttyUSB0";
  WriteText(path, remembered);
  WindowRig rig(path, SelectionsUse::kSimulatedHead);
  EXPECT_EQ(rig.Control<QComboBox>(kIdPort)->currentText(), "USB");
  EXPECT_EQ(rig.Control<QComboBox>(kIdTargetHead)->currentIndex(), 0);
  EXPECT_EQ(rig.Control<QComboBox>(kIdImageType)->currentIndex(), 2);
  rig.Click(kIdImageMonitor);
  const auto& engine = rig.unit.engine();
  ASSERT_TRUE(QTest::qWaitFor([&] { return engine.Stats().monitor_requests >= 8; }, kWaitMs));
  rig.Click(kIdStop);
  ASSERT_TRUE(QTest::qWaitFor([&] { return rig.Control(kIdReadSettings)->isEnabled(); }, kWaitMs));
  EXPECT_FALSE(rig.Control(kIdWriteImage)->isEnabled());  // not for the Shoot type
  EXPECT_TRUE(rig.watcher.boxes.empty());
  rig.Control<QComboBox>(kIdPort)->setEditText("COM3");
  rig.Click(kIdExit);
  EXPECT_FALSE(rig.window->isVisible());
  EXPECT_EQ(ReadAll(path), remembered);
}

// A port that cannot be opened: the message's own text, and under it the port and why. A trace
// that cannot be written says so once in the message line.
TEST(RidgemoWindow, LinkFailureMessageSaysWhichPortAndWhy) {
  std::ostringstream full_disk;
  full_disk.setstate(std::ios::badbit);
  link::TraceLog trace(full_disk);
  WindowRig rig({}, SelectionsUse::kRemembered, &trace);
  rig.window->ReportTraceFailures(trace, "trace.txt cannot be written");
  EXPECT_FALSE(rig.window->MessageLine()->isVisible());
  rig.Control<QComboBox>(kIdPort)->setEditText("/dev/kyr-no-such-port");
  rig.watcher.Then(ChooseFile(rig.folder.File("read.kdta")));
  rig.Click(kIdReadSettings);
  ASSERT_EQ(rig.watcher.boxes.size(), 1u);
  EXPECT_EQ(rig.watcher.boxes[0].text,
            "Fail to open Port.\n/dev/kyr-no-such-port: No such file or directory");
  EXPECT_EQ(rig.watcher.boxes[0].title, "KYR USB Communication Software V2.18s");
  EXPECT_TRUE(rig.window->MessageLine()->isVisible());
  EXPECT_EQ(rig.window->MessageLine()->text().toStdString(), "trace.txt cannot be written");
}

// Asked to shrink below its minimum size, the window (and on X the window manager) stops there.
TEST(RidgemoWindow, WindowStopsAtItsMinimumSize) {
  WindowRig rig;
  const QSize smallest = rig.window->minimumSize();
  EXPECT_GT(smallest.width(), 0);
  rig.window->resize(100, 80);
  EXPECT_TRUE(QTest::qWaitFor([&] { return rig.window->size() == smallest; }, kWaitMs))
      << rig.window->width() << "x" << rig.window->height();
  // There, every control of the tool bar is whole, inside the window and clear of the others.
  QApplication::processEvents();
  std::vector<QWidget*> controls;
  for (auto* widget : rig.window->findChildren<QWidget*>()) {
    if (widget->isVisible() &&
        (qobject_cast<QAbstractButton*>(widget) != nullptr ||
         qobject_cast<QComboBox*>(widget) != nullptr || qobject_cast<QLabel*>(widget) != nullptr ||
         qobject_cast<QProgressBar*>(widget) != nullptr)) {
      controls.push_back(widget);
    }
  }
  ASSERT_GE(controls.size(), 15u);
  const QRect window_rect = rig.window->rect();
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const QRect place(controls[i]->mapTo(rig.window.get(), QPoint(0, 0)), controls[i]->size());
    EXPECT_TRUE(window_rect.contains(place)) << controls[i]->objectName().toStdString();
    const int least_width = controls[i]->minimumWidth() > 0
                                ? controls[i]->minimumWidth()
                                : controls[i]->minimumSizeHint().width();
    EXPECT_GE(controls[i]->width(), least_width) << controls[i]->objectName().toStdString();
    for (std::size_t j = i + 1; j < controls.size(); ++j) {
      const QRect other(controls[j]->mapTo(rig.window.get(), QPoint(0, 0)), controls[j]->size());
      EXPECT_FALSE(place.intersects(other)) << controls[i]->objectName().toStdString() << " / "
                                            << controls[j]->objectName().toStdString();
    }
  }
}

// Enlarged in either direction, the picture keeps the canvas's shape in the middle of its
// space, and a click maps through the shown picture: its edges are the pointer's ends, a
// click on the bar beside it goes to the nearest edge.
TEST(RidgemoWindow, PictureKeepsItsShapeAndClicksMapThroughIt) {
  WindowRig rig;
  auto* picture = static_cast<ImageArea*>(rig.Control(kIdPicture));
  rig.Click(kIdImageMonitor);
  for (const QSize size : {QSize(1200, 500), QSize(1000, 900)}) {
    rig.window->resize(size);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.window->size() == size; }, kWaitMs))
        << rig.window->width() << "x" << rig.window->height();
    const QRect space = picture->PaintedRect();
    const QRect shown = picture->ShownRect();
    EXPECT_NEAR(shown.width() * 272.0 / shown.height(), 480.0, 480.0 / shown.height() + 1)
        << shown.width() << "x" << shown.height();
    EXPECT_TRUE(shown.width() == space.width() || shown.height() == space.height());
    EXPECT_LE(std::abs((shown.left() - space.left()) - (space.right() - shown.right())), 1);
    EXPECT_LE(std::abs((shown.top() - space.top()) - (space.bottom() - shown.bottom())), 1);

    struct ClickCase {
      QPoint at;
      int pointer_x;
    };
    const int middle_y = shown.center().y();
    for (const ClickCase& c :
         {ClickCase{{shown.left(), middle_y}, 13}, ClickCase{{shown.right(), middle_y}, 241},
          ClickCase{{space.left(), middle_y}, 13}, ClickCase{{space.right(), middle_y}, 241}}) {
      QTest::mouseClick(picture, Qt::LeftButton, {}, c.at);
      EXPECT_EQ(rig.window->Monitor().pointer_x, c.pointer_x) << c.at.x() << " in " << size.width();
    }
    // The middle of the picture is the middle of the pointer's range.
    QTest::mouseClick(picture, Qt::LeftButton, {}, shown.center());
    EXPECT_NEAR(rig.window->Monitor().pointer_x, (13 + 241) / 2, 2);
  }
  rig.Click(kIdStop);
  ASSERT_TRUE(QTest::qWaitFor([&] { return CommandsEnabled(rig); }, kWaitMs));
}

// A bitmap saved in one folder and settings read from another: in the next run each dialog
// starts in the folder of its own kind, not in the one visited last.
TEST(RidgemoWindow, FileDialogsStartInTheFolderLastUsedForTheirKind) {
  TempFolder pictures;
  TempFolder settings;
  WriteText(settings.File("unit.kdta"), "not settings");
  {
    WindowRig first;
    first.watcher.Then(ChooseFile(pictures.File("screen.bmp")));
    first.Click(kIdSaveBmp);
    ASSERT_TRUE(std::filesystem::exists(pictures.File("screen.bmp")));
    first.watcher.Then(ChooseFile(settings.File("unit.kdta")));
    first.Click(kIdReadSettings);  // the file is refused; its folder is still the one chosen
  }
  WindowRig later;
  std::vector<std::string> started_in;
  auto note_folder = [&started_in](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    started_in.push_back(dialog->directory().absolutePath().toStdString() + "/");
    dialog->reject();
  };
  later.watcher.Then(note_folder);
  later.Click(kIdSaveBmp);
  later.watcher.Then(note_folder);
  later.Click(kIdReadSettings);
  EXPECT_EQ(started_in, (std::vector<std::string>{pictures.File(""), settings.File("")}));
}

TEST(RidgemoWindow, ImageMonitorNeedsUsbAndWriteImageABankOrMemoryType) {
  WindowRig rig;
  auto* port = rig.Control<QComboBox>(kIdPort);
  auto* type = rig.Control<QComboBox>(kIdImageType);
  struct Case {
    QString port;
    int type;
    bool monitor, write;
  };
  for (const Case& c : {Case{"COM1", 1, false, true}, Case{"/dev/ttyUSB0", 2, false, false},
                        Case{"USB", 3, true, false}, Case{"USB", 0, true, true}}) {
    port->setEditText(c.port);
    type->setCurrentIndex(c.type);
    EXPECT_EQ(rig.Control(kIdImageMonitor)->isEnabled(), c.monitor) << c.port.toStdString();
    EXPECT_EQ(rig.Control(kIdWriteImage)->isEnabled(), c.write) << c.type;
  }
  // A command ends with the buttons as the boxes allow, not all enabled.
  port->setCurrentIndex(1);  // COM1
  rig.window->OnImageMonitor();
  ASSERT_EQ(rig.watcher.boxes.size(), 1u);
  EXPECT_EQ(rig.watcher.boxes[0].text, "ImageMonitor is USB only.");
  EXPECT_EQ(rig.watcher.boxes[0].title, "KYR USB Communication Software V2.18s");
  EXPECT_EQ(rig.watcher.boxes[0].icon, QMessageBox::Critical);
  EXPECT_EQ(rig.unit.opens(), 0);
  rig.Click(kIdReadSettings);  // cancelled in its file dialog
  EXPECT_FALSE(rig.Control(kIdImageMonitor)->isEnabled());
  EXPECT_TRUE(rig.Control(kIdReadSettings)->isEnabled());
  EXPECT_FALSE(rig.Control(kIdStop)->isEnabled());
}

// The settings transfers handle no window events, so the window shows them busy beforehand:
// every block moves the bar under the busy cursor with the commands disabled, questions get
// the normal pointer, and the end of every path restores the window.
TEST(RidgemoWindow, SettingsTransfersShowTheWindowBusyUntilTheyEnd) {
  WindowRig rig;
  struct Step {
    int position;
    Qt::CursorShape cursor;
    bool commands;
  };
  std::vector<Step> steps;
  auto* progress = rig.Control<QProgressBar>(kIdProgress);
  QObject::connect(progress, &QProgressBar::valueChanged, [&](int position) {
    const QCursor* cursor = QApplication::overrideCursor();
    steps.push_back({position, cursor != nullptr ? cursor->shape() : Qt::ArrowCursor,
                     rig.Control(kIdReadSettings)->isEnabled()});
  });
  std::vector<Qt::CursorShape> cursor_at_questions;
  auto answer_box = [&](QWidget* modal) {
    cursor_at_questions.push_back(QApplication::overrideCursor()->shape());
    qobject_cast<QMessageBox*>(modal)->defaultButton()->click();
  };
  const std::string file = rig.folder.File("head.kdta");
  rig.watcher.Then(ChooseFile(file));
  rig.watcher.Then(answer_box);
  rig.Click(kIdReadSettings);
  ASSERT_EQ(rig.watcher.boxes.size(), 1u);
  ASSERT_EQ(steps.size(), 64u);  // one a block
  for (const Step& step : steps) {
    EXPECT_EQ(step.cursor, Qt::WaitCursor) << step.position;
    EXPECT_FALSE(step.commands) << step.position;
  }
  EXPECT_EQ(steps.back().position, 64);

  // A failing write: the head is not there.
  rig.Control<QComboBox>(kIdPort)->setEditText("/dev/kyr-no-such-port");
  rig.watcher.Then(ChooseFile(file));
  rig.watcher.Then([](QWidget* modal) {
    QTest::mouseClick(modal->findChild<QPushButton*>("1"), Qt::LeftButton);  // WRITE
  });
  rig.watcher.Then(answer_box);
  rig.Click(kIdWriteSettings);
  ASSERT_EQ(rig.watcher.boxes.size(), 2u);
  EXPECT_EQ(cursor_at_questions, (std::vector<Qt::CursorShape>(2, Qt::ArrowCursor)));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_TRUE(rig.Control(kIdReadSettings)->isEnabled());
}

TEST(RidgemoWindow, MonitorShowsFramesRestartsSilentlyAndStopRestoresTheButtons) {
  WindowRig rig;
  rig.Click(kIdImageMonitor);
  EXPECT_FALSE(CommandsEnabled(rig));
  EXPECT_TRUE(rig.Control(kIdStop)->isEnabled());
  EXPECT_TRUE(rig.Control(kIdHelp)->isEnabled());
  EXPECT_TRUE(rig.Control(kIdPort)->isEnabled());
  EXPECT_FALSE(rig.Control(kIdAbort)->isEnabled());
  const auto& engine = rig.unit.engine();
  ASSERT_TRUE(QTest::qWaitFor([&] { return engine.Stats().monitor_requests >= 24; }, kWaitMs));
  const auto& screen = engine.MonitorScreen();
  const images::Canvas& canvas = rig.window->Canvas();
  EXPECT_NE(canvas.At(100, 100), (images::Pixel{}));

  // The link drops in the middle of a frame: no message, and frames come again.
  rig.unit.engine().Faults().Add(
      test_common::Fault(headsim::FaultKind::kDroppedLink, headsim::kMonitorCommand, 5));
  ASSERT_TRUE(QTest::qWaitFor([&] { return rig.unit.opens() >= 2; }, kWaitMs));
  const int after_restart = engine.Stats().monitor_requests;
  ASSERT_TRUE(QTest::qWaitFor([&] { return engine.Stats().monitor_requests >= after_restart + 16; },
                              kWaitMs));
  EXPECT_TRUE(rig.watcher.boxes.empty());
  EXPECT_FALSE(CommandsEnabled(rig));

  // Picture clicks: the left edge is pointer x 13, the right edge 241; sent with a request.
  QWidget* picture = rig.Control(kIdPicture);
  QTest::mouseClick(picture, Qt::LeftButton, {}, QPoint(0, 10));
  EXPECT_EQ(rig.window->Monitor().pointer_x, 13);
  QTest::mouseClick(picture, Qt::LeftButton, {}, QPoint(picture->width() - 1, 10));
  EXPECT_EQ(rig.window->Monitor().pointer_x, 241);
  ASSERT_TRUE(QTest::qWaitFor([&] { return rig.window->Monitor().pointer_x == 0; }, kWaitMs));
  EXPECT_EQ(engine.MonitorState().click_x, headsim::Screen::PointerToScreenX(241));

  rig.Click(kIdStop);
  ASSERT_TRUE(QTest::qWaitFor([&] { return CommandsEnabled(rig); }, kWaitMs));
  EXPECT_FALSE(rig.Control(kIdStop)->isEnabled());
  EXPECT_FALSE(rig.window->Link().IsOpen());
  const int stopped_at = engine.Stats().monitor_requests;
  QTest::qWait(300);
  EXPECT_EQ(engine.Stats().monitor_requests, stopped_at);
  // The last frame painted is the head's screen as it was drawn.
  EXPECT_EQ(canvas.At(10, 10), monitor::MonitorPixelColour(screen.Pixel(10, 10)));
  EXPECT_TRUE(rig.watcher.boxes.empty());
}

TEST(RidgemoWindow, ReadImageOfBankImagesThroughTheSelectionDialog) {
  WindowRig rig;
  rig.watcher.Then([](QWidget* modal) {
    auto* dialog = qobject_cast<CImageSelDlg*>(modal);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Bank Images Selection");
    ASSERT_EQ(dialog->BoxCount(), 32);
    EXPECT_EQ(dialog->Box(20)->objectName(), "1047");
    dialog->Box(0)->setChecked(true);
    QTest::mouseClick(dialog->findChild<QPushButton*>("1090"), Qt::LeftButton);  // Clear
    EXPECT_FALSE(dialog->Box(0)->isChecked());
    dialog->Box(1)->setChecked(true);
    dialog->Box(30)->setChecked(true);
    QTest::mouseClick(dialog->findChild<QPushButton*>("1045"), Qt::LeftButton);  // GO
  });
  rig.watcher.Then([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->nameFilters().size(), 2);
    EXPECT_TRUE(dialog->nameFilters().front().startsWith("KYR image file ( *.kimg )"));
    ChooseFile(rig.folder.File("bank"))(modal);
  });
  rig.Click(kIdReadImage);
  ASSERT_EQ(rig.watcher.boxes.size(), 1u);
  EXPECT_EQ(rig.watcher.boxes[0].text, "Complete to read image.");
  EXPECT_EQ(rig.watcher.boxes[0].title, "Finish");
  EXPECT_EQ(std::filesystem::file_size(rig.folder.File("bank.01.kimg")), images::kImageFileBytes);
  EXPECT_EQ(std::filesystem::file_size(rig.folder.File("bank.30.kimg")), images::kImageFileBytes);
  EXPECT_FALSE(std::filesystem::exists(rig.folder.File("bank.00.kimg")));
  // The last image read is what the picture shows.
  auto image = std::make_unique<images::RawImage>();
  auto expected = std::make_unique<images::Canvas>();
  ASSERT_EQ(images::LoadImageFile(rig.folder.File("bank.30.kimg"), *image, *expected),
            images::ImageFileResult::kOk);
  EXPECT_TRUE(expected->bytes == rig.window->Canvas().bytes);
  EXPECT_EQ(rig.Control<QLabel>(kIdImageNumber)->text(), "30");
  EXPECT_TRUE(CommandsEnabled(rig));
  EXPECT_FALSE(rig.Control(kIdAbort)->isEnabled());
}

TEST(RidgemoWindow, WriteSettingsThroughTheWriteDialog) {
  WindowRig rig;
  const std::string file = rig.folder.File("head.kdta");
  rig.watcher.Then(ChooseFile(rig.folder.File("head")));  // ".kdta" is added
  rig.Click(kIdReadSettings);
  ASSERT_EQ(rig.watcher.boxes.size(), 1u);
  EXPECT_EQ(rig.watcher.boxes[0].text, "Complete to read all setting values.");
  EXPECT_EQ(rig.Control<QProgressBar>(kIdProgress)->maximum(), 64);

  // Bank 2 starts on line 24 of the file: change its first word.
  std::string text = ReadAll(file);
  std::size_t line_start = 0;
  for (int line = 0; line < 24; ++line) line_start = text.find('\n', line_start) + 1;
  text.replace(line_start, 4, "ABCD");
  WriteText(file, text);
  const std::uint16_t bank3_before = rig.unit.engine().Head(0).settings[3 * 192];

  rig.watcher.Then(ChooseFile(file));
  rig.watcher.Then([](QWidget* modal) {
    auto* dialog = qobject_cast<CPrmWriteDlg*>(modal);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Writes setting value");
    auto* start = dialog->findChild<QComboBox*>("startBank");
    auto* end = dialog->findChild<QComboBox*>("endBank");
    auto* target = dialog->findChild<QComboBox*>("targetBank");
    EXPECT_EQ(end->currentText(), "31");
    start->setCurrentIndex(2);
    emit start->activated(2);
    EXPECT_EQ(target->currentIndex(), 2);  // the destination follows the start bank
    end->setCurrentIndex(2);
    emit end->activated(2);
    dialog->findChild<QCheckBox*>("common")->setChecked(false);
    auto* write = dialog->findChild<QPushButton*>("1");
    EXPECT_TRUE(write->isDefault());
    QTest::mouseClick(write, Qt::LeftButton);
  });
  rig.Click(kIdWriteSettings);
  ASSERT_EQ(rig.watcher.boxes.size(), 2u);
  EXPECT_EQ(rig.watcher.boxes[1].text, "Complete to write all setting values.");
  EXPECT_EQ(rig.unit.engine().Head(0).settings[2 * 192], 0xABCD);
  EXPECT_EQ(rig.unit.engine().Head(0).settings[3 * 192], bank3_before);

  // CANCEL in the dialog: nothing is written.
  text.replace(line_start, 4, "1234");
  WriteText(file, text);
  rig.watcher.Then(ChooseFile(file));
  rig.watcher.Then([](QWidget* modal) {
    QTest::mouseClick(modal->findChild<QPushButton*>("2"), Qt::LeftButton);
  });
  rig.Click(kIdWriteSettings);
  EXPECT_EQ(rig.watcher.boxes.size(), 2u);
  EXPECT_EQ(rig.unit.engine().Head(0).settings[2 * 192], 0xABCD);

  // A start bank after the end bank holds no bank: refused, nothing written.
  rig.watcher.Then(ChooseFile(file));
  rig.watcher.Then([](QWidget* modal) {
    auto* start = modal->findChild<QComboBox*>("startBank");
    auto* end = modal->findChild<QComboBox*>("endBank");
    start->setCurrentIndex(2);
    emit start->activated(2);
    end->setCurrentIndex(1);
    emit end->activated(1);
    QTest::mouseClick(modal->findChild<QPushButton*>("1"), Qt::LeftButton);
  });
  rig.Click(kIdWriteSettings);
  ASSERT_EQ(rig.watcher.boxes.size(), 3u);
  EXPECT_TRUE(rig.watcher.boxes[2].text.startsWith("The start bank is after the end bank"));
  EXPECT_EQ(rig.unit.engine().Head(0).settings[2 * 192], 0xABCD);
}

TEST(RidgemoWindow, WriteImageOfSeveralNumberedFilesChosenTogether) {
  WindowRig rig;
  for (const char* name : {"bank.03.kimg", "bank.09.kimg"}) {
    std::string bytes(images::kImageFileBytes, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + name[6]);
    WriteText(rig.folder.File(name), bytes);
  }
  rig.watcher.Then([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFiles);
    EXPECT_EQ(dialog->nameFilters().size(), 4);
    EXPECT_TRUE(dialog->nameFilters().front().startsWith("All image files ( *.kimg, *.bmp )"));
    dialog->setDirectory(QString::fromStdString(rig.folder.File("")));
    dialog->findChild<QLineEdit*>("fileNameEdit")->setText("\"bank.03.kimg\" \"bank.09.kimg\"");
    static_cast<QDialog*>(dialog)->accept();
  });
  rig.watcher.Then([](QWidget* modal) {  // "Specified KYR image will be overwritten."
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    box->button(QMessageBox::Yes)->click();
  });
  rig.Click(kIdWriteImage);
  ASSERT_EQ(rig.watcher.boxes.size(), 2u);
  EXPECT_EQ(rig.watcher.boxes[0].title, "Warning");
  // The question names the images it is about.
  EXPECT_EQ(rig.watcher.boxes[0].text.toStdString(),
            std::string(LoadString(ToolText::kOverwriteImage)) + "\nBank No.3, No.9");
  EXPECT_EQ(rig.watcher.boxes[1].text, "Complet to write the image.");
  const auto& head = rig.unit.engine().Head(0);
  EXPECT_TRUE(head.IsImageStored(headsim::ImageKind::kBank, 3));
  EXPECT_TRUE(head.IsImageStored(headsim::ImageKind::kBank, 9));
  EXPECT_FALSE(head.IsImageStored(headsim::ImageKind::kBank, 4));
  // Word 1 of image 9 is file bytes 2 and 3, low byte first.
  EXPECT_EQ(head.Image(headsim::ImageKind::kBank, 9)[1],
            static_cast<std::uint8_t>(2 * 7 + '9') | static_cast<std::uint8_t>(3 * 7 + '9') << 8);
  EXPECT_EQ(rig.Control<QLabel>(kIdImageNumber)->text(), "9");
  EXPECT_TRUE(CommandsEnabled(rig));
}

}  // namespace
}  // namespace kyr::ridgemo::testing
