#pragma once
// The tool window on the offscreen platform with a simulated head unit on real time, and a
// watcher that answers the modal dialogs and message boxes the window opens, recording them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/qt_input.h"
#include "common/temp_folder.h"
#include "headsim/usb_head.h"
#include "link/system_environment.h"
#include "strings/strings.h"
#include "window/ridgemo_dlg.h"

namespace kyr::ridgemo::testing {

// One QApplication for the test process; the test program deletes it after the last test.
inline QApplication* g_application = nullptr;

// Deletes the application after the last test, which also lets Qt free its font caches.
class QtEnvironment : public ::testing::Environment {
 public:
  void TearDown() override {
    delete g_application;
    g_application = nullptr;
  }
};
// Registered once per test program, however many of its files include this header.
inline ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

inline void EnsureApplication() {
  static int argc = 1;
  static char name[] = "ridgemo_window_tests";
  static char* argv[] = {name, nullptr};
  if (g_application == nullptr) {
    test_common::ChooseTestPlatform();
    g_application = new QApplication(argc, argv);
  }
  SetLanguage(Lang::En);
}

// A message box as the user saw it.
struct SeenBox {
  QString title;
  QString text;
  QMessageBox::Icon icon;
  int string_id;
};

// Answers modal windows as they open: the next scripted action if any, else a message box
// gets its default button and any other dialog is cancelled.
class ModalWatcher {
 public:
  using Action = std::function<void(QWidget*)>;

  ModalWatcher() {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
  }

  void Then(Action action) { actions_.push_back(std::move(action)); }

  std::vector<SeenBox> boxes;
  int dialogs_seen = 0;

 private:
  static bool Unanswered(const QWidget* widget) {
    return widget != nullptr && widget->isVisible() && !widget->property("answered").toBool();
  }

  // The modal window waiting for an answer: normally the active one; when the window system
  // still reports an older one as active, any other visible modal window not answered yet.
  static QWidget* WaitingModal() {
    QWidget* active = QApplication::activeModalWidget();
    if (Unanswered(active)) return active;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (widget->isModal() && Unanswered(widget)) return widget;
    }
    return nullptr;
  }

  // Answers `modal` after this timer slot (the answer may open further modal windows), and
  // marks on it that the answer ran.
  static void Answer(QWidget* modal, const Action& action) {
    modal->setProperty("answer_ran", false);
    QTimer::singleShot(0, modal, [modal, action] {
      modal->setProperty("answer_ran", true);
      if (action) {
        action(modal);
      } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        box->defaultButton() != nullptr ? box->defaultButton()->click() : box->accept();
      } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
        dialog->reject();
      }
    });
  }

  // A modal window still open long after its answer would hang the test until its time-out:
  // say which one and whether its answer ran, and give it the same answer again.
  void AnswerAgainIfStuck() {
    QWidget* active = QApplication::activeModalWidget();
    if (active == nullptr || !active->isVisible()) {
      stuck_polls_ = 0;
      return;
    }
    if (++stuck_polls_ < kStuckPolls) return;
    stuck_polls_ = 0;
    qWarning("modal window %s \"%s\" still open 5 s after its answer, which %s; answering it again",
             active->metaObject()->className(), qPrintable(active->windowTitle()),
             active->property("answer_ran").toBool() ? "ran" : "had not run");
    for (const auto& [modal, action] : answered_) {
      if (modal == active) Answer(active, action);
    }
  }

  void Poll() {
    QWidget* modal = WaitingModal();
    if (modal == nullptr) {
      AnswerAgainIfStuck();
      return;
    }
    stuck_polls_ = 0;
    modal->setProperty("answered", true);
    ++dialogs_seen;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      boxes.push_back({box->windowTitle(), box->text(), box->icon(), box->objectName().toInt()});
    }
    Action action;
    if (!actions_.empty()) {
      action = std::move(actions_.front());
      actions_.pop_front();
    }
    answered_.emplace_back(modal, action);
    Answer(modal, action);
  }

  static constexpr int kStuckPolls = 1000;  // 5 s of 5 ms polls
  QTimer timer_;
  std::deque<Action> actions_;
  std::vector<std::pair<QPointer<QWidget>, Action>> answered_;
  int stuck_polls_ = 0;
};

// Chooses `path` (a file, or a folder in a folder dialog) in a file dialog and accepts it.
inline ModalWatcher::Action ChooseFile(const std::string& path) {
  return [path](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    const std::filesystem::path chosen(path);
    dialog->setDirectory(QString::fromStdString(chosen.parent_path().string()));
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    name->setText(QString::fromStdString(chosen.filename().string()));
    static_cast<QDialog*>(dialog)->accept();
  };
}

// Presses `button` of the message box the watcher hands over.
inline ModalWatcher::Action Answer(QMessageBox::StandardButton button) {
  return [button](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    box->button(button)->click();
  };
}

using test_common::TempFolder;

struct ApplicationFirst {
  ApplicationFirst() { EnsureApplication(); }
};

// The window's control with id `id`.
template <typename T = QWidget>
T* ControlOf(const CRidgemoDlg& window, int id) {
  return window.findChild<T*>(QString::number(id));
}

// What both window rigs hold: a temporary folder, the clock of the simulated heads, the
// watcher of modal dialogs, and the window with its controls by id.
struct RigBase : ApplicationFirst {
  template <typename T = QWidget>
  T* Control(int id) const {
    return ControlOf<T>(*window, id);
  }
  void Click(int id) { QTest::mouseClick(Control<QPushButton>(id), Qt::LeftButton); }

  TempFolder folder;
  headsim::SimulatedTime time{headsim::SimulatedTime::Mode::kReal};
  ModalWatcher watcher;
  std::unique_ptr<CRidgemoDlg> window;
};

// The window on a simulated head unit of its own; the selections file in a temporary folder.
struct WindowRig : RigBase {
  WindowRig() : WindowRig(std::string()) {}
  explicit WindowRig(std::string selections, SelectionsUse use = SelectionsUse::kRemembered,
                     link::TraceLog* trace = nullptr)
      : unit(Options(), time) {
    if (selections.empty()) selections = folder.File("selections.txt");
    link::LinkEnvironment environment = unit.Environment();
    environment.trace = trace;
    environment.serial_ports = link::SystemLinkEnvironment().serial_ports;
    environment.let_events_run = [](int) { QCoreApplication::processEvents(); };
    window = std::make_unique<CRidgemoDlg>(environment, selections, use);
    EXPECT_TRUE(test_common::ShowActive(*window));
  }
  ~WindowRig() { window.reset(); }  // the window closes its link while the unit is there
  WindowRig(const WindowRig&) = delete;
  WindowRig& operator=(const WindowRig&) = delete;
  static headsim::UsbHeadOptions Options() {
    headsim::UsbHeadOptions options;
    options.replug_after_ms = 200;
    return options;
  }

  headsim::SimulatedUsbHead unit;
};

// The window on a simulated line of `units` units (serials KYRD0001, ...), each with
// `images` bank images and one memory image registered.
struct LineRig : RigBase {
  explicit LineRig(int units, int images = 2) : line(Options(units, images), time) {
    link::LinkEnvironment environment = line.Environment();
    environment.let_events_run = [](int) { QCoreApplication::processEvents(); };
    window = std::make_unique<CRidgemoDlg>(environment, folder.File("selections.txt"));
    EXPECT_TRUE(test_common::ShowActive(*window));
  }
  ~LineRig() { window.reset(); }  // the window closes its link while the line is there
  LineRig(const LineRig&) = delete;
  LineRig& operator=(const LineRig&) = delete;
  static std::vector<headsim::UsbHeadOptions> Options(int units, int images) {
    std::vector<headsim::UsbHeadOptions> options;
    for (int i = 0; i < units; ++i) {
      headsim::UsbHeadOptions unit;
      unit.serial = "KYRD000" + std::to_string(i + 1);
      unit.replug_after_ms = 200;
      unit.engine.registered_banks = images;
      unit.engine.registered_memory_images = images > 0 ? 1 : 0;
      options.push_back(unit);
    }
    return options;
  }
  headsim::Engine& Unit(int index) { return line.Unit(index).engine(); }

  headsim::SimulatedLine line;
};

}  // namespace kyr::ridgemo::testing
