#include "tolvane_app.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QStyleFactory>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "common/qt_texts.h"
#include "common/window_placement.h"
#include "strings/strings.h"

namespace kyr::tolvane {
namespace {

bool HasDisplay() {
  auto set = [](const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
  };
  return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

// Without a person to ask, messages go to stderr and every question is answered No.
userport::Answer AnswerUnattended(const userport::Message& message) {
  std::cerr << message.text << '\n';
  return message.buttons == userport::Buttons::Ok ? userport::Answer::Ok : userport::Answer::No;
}

// The offscreen platform warns about window-manager matters it has no use for; those two
// notes would only hide real messages of a screenshot run.
void QuietOffscreenNotes(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtWarningMsg && (text.contains(QStringLiteral("propagateSizeHints")) ||
                               text.contains(QStringLiteral("XDG_RUNTIME_DIR")))) {
    return;
  }
  std::fputs(qFormatLogMessage(type, context, text).toLocal8Bit().constData(), stderr);
  std::fputc('\n', stderr);
}

void SetUpLook(QApplication& app) {
  if (QStyle* style = QStyleFactory::create(QStringLiteral("Fusion"))) app.setStyle(style);
  app.setWindowIcon(QIcon(QStringLiteral(":/icons/tolvane.svg")));
  // Ties the windows to the installed desktop entry (its icon and name in task bars).
  QGuiApplication::setDesktopFileName(QStringLiteral("io.kyr.Tolvane"));
  // One face for the whole window in Japanese, so that kana, kanji and the Latin item texts
  // share a baseline; the platform's face otherwise.
  QFont font = app.font();
  if (CurrentLanguage() == Lang::Ja) {
    const QString japanese = QStringLiteral("Noto Sans CJK JP");
    if (QFontDatabase::hasFamily(japanese)) font.setFamilies({japanese});
  }
  font.setPointSize(9);
  app.setFont(font);
}

}  // namespace

CTolvaneApp::CTolvaneApp() {
  host_.SetWindow(&dialog_);
}

void CTolvaneApp::Prepare(const WindowRequest& request) {
  dialog_.StartUp();
  if (!request.file.empty()) dialog_.ReadFile(request.file);
  if (request.page) editor_.ClickPageButton(*request.page);
  if (request.bank) editor_.SelectBank(*request.bank);
  if (request.window) editor_.SelectWindow(*request.window - 1);  // shown as 1..16
  dialog_.ApplyModel();
  if (!request.compare.empty()) dialog_.CompareWithFile(request.compare);
}

int CTolvaneApp::Run(const WindowRequest& request) {
  const bool unattended = !request.screenshot.empty();
  if (unattended) {
    dialog_.SetRemembersFiles(false);
    host_.SetMessageAnswerer(AnswerUnattended);
    host_.SetFileAnswerer([](FileDialogKind, const std::vector<userport::FileFilter>&,
                             const std::string&) { return std::optional<std::string>(); });
  } else {
    app_common::PlaceAtChosenCorner(dialog_);
    dialog_.show();  // the messages of reading a named file appear over the window
  }
  Prepare(request);
  if (unattended) return SaveScreenshot(request.screenshot);
  dialog_.exec();
  return kExitDone;
}

int CTolvaneApp::SaveScreenshot(const std::string& path) {
  dialog_.show();
  QApplication::processEvents();
  const QPixmap picture = dialog_.grab();
  dialog_.hide();
  if (picture.isNull() || !picture.save(QString::fromStdString(path), "PNG")) {
    std::fprintf(stderr, "tolvane: cannot write the screenshot %s\n", path.c_str());
    return kExitFailed;
  }
  // The comparison's list is a window of its own, rendered beside: OUT-compare.png.
  if (QDialog* comparison = dialog_.ComparisonWindow(); comparison != nullptr) {
    const std::string beside =
        (path.ends_with(".png") ? path.substr(0, path.size() - 4) : path) + "-compare.png";
    QApplication::processEvents();
    if (!comparison->grab().save(QString::fromStdString(beside), "PNG")) {
      std::fprintf(stderr, "tolvane: cannot write the screenshot %s\n", beside.c_str());
      return kExitFailed;
    }
  }
  return kExitDone;
}

int RunWindow(int& argc, char** argv, const WindowRequest& request) {
  if (!HasDisplay()) {
    if (request.screenshot.empty()) {
      std::fputs(
          "tolvane: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are not "
          "set).\nUse tolvane --screenshot OUT.png to render the window into a file, or a "
          "command (tolvane --help).\n",
          stderr);
      return kExitFailed;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qInstallMessageHandler(QuietOffscreenNotes);
  }
  QApplication app(argc, argv);
  app_common::InstallQtTexts(app, CurrentLanguage() == Lang::Ja);
  SetUpLook(app);
  CTolvaneApp editor_app;
  return editor_app.Run(request);
}

}  // namespace kyr::tolvane
