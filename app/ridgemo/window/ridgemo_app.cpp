#include "window/ridgemo_app.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QIcon>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "common/message_box.h"
#include "common/qt_texts.h"
#include "common/window_placement.h"
#include "headsim/usb_head.h"
#include "link/system_environment.h"
#include "link/trace_file.h"
#include "settings/settings_file.h"
#include "strings/strings.h"
#include "tool/messages.h"
#include "window/head_units.h"
#include "window/help_page.h"
#include "window/ridgemo_dlg.h"
#include "window/small_dialogs.h"
#include "window/window_text.h"

namespace kyr::ridgemo {

const char* const CRidgemoApp::kScenes[] = {
    "idle",         "monitor", "prm-write", "bank",    "memory",         "ng",   "shoot",
    "write-number", "message", "help",      "compare", "compare-backup", nullptr};

namespace {

constexpr int kMonitorSceneMs = 1200;
// Words of bank 0 and bank 2 changed in the file the compare scene compares with.
constexpr int kSceneChangedWords[] = {3, 40, 2 * 192 + 3};

bool HasDisplay() {
  const char* x = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x != nullptr && *x != '\0') || (wayland != nullptr && *wayland != '\0');
}

link::LinkEnvironment WindowLinkEnvironment(const WindowOptions& options, link::TraceLog* trace) {
  link::LinkEnvironment environment = link::SystemLinkEnvironment();
  if (options.simulate) {
    environment = headsim::WithDefaultSimulatedHead(environment, options.simulated_units);
  }
  environment.device_serial = options.device;
  environment.trace = trace;
  // The USB open lets window events run while it waits for the device.
  environment.let_events_run = [](int) { QCoreApplication::processEvents(); };
  return environment;
}

void RunEventsFor(int milliseconds) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < milliseconds) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
}

// The window with `dialog` drawn over its middle, as it looks while the dialog is open.
QPixmap GrabWithDialog(CRidgemoDlg& window, QDialog& dialog) {
  dialog.adjustSize();
  dialog.show();
  QCoreApplication::processEvents();
  QPixmap picture = window.grab();
  const QPixmap over = dialog.grab();
  QPainter painter(&picture);
  constexpr int kTitleBar = 24;  // drawn in place of the window manager's title bar
  const QPoint at((picture.width() - over.width()) / 2,
                  (picture.height() - over.height() + kTitleBar) / 3);
  const QRect title(at.x(), at.y() - kTitleBar, over.width(), kTitleBar);
  painter.fillRect(title.united(QRect(at, over.size())).adjusted(-1, -1, 1, 1), Qt::darkGray);
  painter.fillRect(title, QColor(0x3b, 0x5a, 0x82));
  painter.setPen(Qt::white);
  painter.drawText(title.adjusted(8, 0, -8, 0), Qt::AlignVCenter | Qt::AlignLeft,
                   dialog.windowTitle());
  painter.drawPixmap(at, over);
  dialog.hide();
  return picture;
}

std::unique_ptr<QDialog> SceneDialog(const std::string& scene, CRidgemoDlg& window) {
  if (scene == "prm-write") return std::make_unique<CPrmWriteDlg>(tool::WriteChoices{}, &window);
  if (scene == "bank") return std::make_unique<CBankSelDlg>(0x0000'0000'8000'00FFULL, &window);
  if (scene == "memory") return std::make_unique<CMemSelDlg>(0x3ULL, &window);
  if (scene == "ng") return std::make_unique<CNgSelDlg>(0x7FULL, &window);
  if (scene == "shoot") return std::make_unique<CShtSelDlg>(0x3FULL, &window);
  if (scene == "write-number") return std::make_unique<CWriteSelDlg>(32, 7, &window);
  if (scene == "message") {
    return app_common::MakeMessageBox(tool::TitleErrorBox(ToolText::kUsbOnly),
                                      ToolString(ToolText::kTitle), &window);
  }
  return nullptr;
}

// The results of Compare with file: the simulated unit's settings against a file that
// differs from them in a few settings, as an edited copy would.
QPixmap CompareScene(CRidgemoDlg& window) {
  QTemporaryDir scratch;
  const std::string path = scratch.filePath(QStringLiteral("line3-unit1.kdta")).toStdString();
  auto image = std::make_unique<settings::SettingsImage>();
  const auto& head = headsim::DefaultSimulatedHead().engine().Head(0).settings;
  std::copy(head.begin(), head.end(), image->begin());
  for (const int word : kSceneChangedWords) (*image)[word] ^= 0x0003;
  if (!scratch.isValid() ||
      settings::WriteSettingsFile(path, *image, settings::CommentsOf(*image)) !=
          settings::WriteResult::kWritten)
    return {};
  window.CompareWithFile(path);
  if (window.Results() == nullptr) return {};
  return GrabWithDialog(window, *window.Results());
}

// The results of Compare with backup: a backup of the simulated unit, then the unit changed
// since in a few settings and one bank image, as a unit on a line might be.
QPixmap CompareBackupScene(CRidgemoDlg& window) {
  QTemporaryDir scratch;
  const std::string dir = scratch.filePath(QStringLiteral("line3-unit1")).toStdString();
  window.BackupInto(dir);
  if (window.Results() == nullptr) return {};
  headsim::HeadMemory& head = headsim::DefaultSimulatedHead().engine().Head(0);
  for (const int word : kSceneChangedWords) head.settings[word] ^= 0x0003;
  head.WriteImageWord({headsim::ImageKind::kBank, 1, 1000}, 0x0123);
  window.CompareWithBackup(dir);
  return GrabWithDialog(window, *window.Results());
}

int TakeScreenshot(CRidgemoDlg& window, const WindowOptions& options) {
  window.show();
  QCoreApplication::processEvents();
  QPixmap picture;
  if (options.scene == "idle") {
    picture = window.grab();
  } else if (options.scene == "monitor") {
    window.OnImageMonitor();
    RunEventsFor(kMonitorSceneMs);
    picture = window.grab();
    window.OnStop();
    RunEventsFor(300);
  } else if (options.scene == "help") {
    // The program's own help viewer on the page Help finds, and where that page is.
    const QString page = InstalledHelpPage();
    if (page.isEmpty()) {
      std::cerr << "ridgemo: no help page found\n";
      return 1;
    }
    std::cout << "help page: " << page.toStdString() << '\n';
    HelpViewer viewer(page, &window);
    viewer.setAttribute(Qt::WA_DeleteOnClose, false);
    picture = GrabWithDialog(window, viewer);
  } else if (options.scene == "compare" || options.scene == "compare-backup") {
    if (!options.simulate) {
      std::cerr << "ridgemo: the compare scenes need --simulate\n";
      return 2;
    }
    picture = options.scene == "compare" ? CompareScene(window) : CompareBackupScene(window);
  } else if (auto dialog = SceneDialog(options.scene, window)) {
    picture = GrabWithDialog(window, *dialog);
  } else {
    std::cerr << "ridgemo: unknown scene \"" << options.scene << "\"\n";
    return 2;
  }
  if (!picture.save(QString::fromStdString(options.screenshot), "PNG")) {
    std::cerr << "ridgemo: cannot write " << options.screenshot << '\n';
    return 1;
  }
  return 0;
}

}  // namespace

void CRidgemoApp::SetUpApplication(QApplication& application) {
  QApplication::setApplicationName(QStringLiteral("ridgemo"));
  // Ties the window to the installed desktop entry (its icon and name in task bars).
  QGuiApplication::setDesktopFileName(QStringLiteral("io.kyr.Ridgemo"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/ridgemo/ridgemo.svg")));
  app_common::InstallQtTexts(application, CurrentLanguage() == Lang::Ja);
}

int CRidgemoApp::Run(int& argc, char** argv, const WindowOptions& options) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr && !HasDisplay()) {
    if (options.screenshot.empty()) {
      // An invisible window would wait for ever for a click that cannot come.
      std::cerr << "ridgemo: no display (DISPLAY or WAYLAND_DISPLAY) for the window; use a "
                   "command, or --screenshot OUT.png\n";
      return 1;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  std::unique_ptr<link::TraceFile> trace;
  if (!options.trace.empty()) {
    trace = link::TraceFile::Open(options.trace);
    if (!trace) {
      std::cerr << "ridgemo: cannot write the trace file \"" << options.trace << "\"\n";
      return 2;
    }
  }
  QApplication application(argc, argv);
  SetUpApplication(application);
  CRidgemoDlg window(WindowLinkEnvironment(options, trace ? &trace->log() : nullptr), {},
                     options.simulate ? SelectionsUse::kSimulatedHead : SelectionsUse::kRemembered);
  window.setWindowIcon(QApplication::windowIcon());
  if (!options.simulate) {
    window.SetUnitSource([] { return ListedHeadUnits({}, /*simulated=*/false); });
  }
  if (trace) {
    window.ReportTraceFailures(
        trace->log(), FormatMessage(LoadString(ToolText::kTraceUnwritable), {options.trace}));
  }
  if (!options.screenshot.empty()) return TakeScreenshot(window, options);
  app_common::PlaceAtChosenCorner(window);
  window.exec();
  return 0;
}

}  // namespace kyr::ridgemo
