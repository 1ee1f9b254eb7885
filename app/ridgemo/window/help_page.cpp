#include "window/help_page.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "window/window_text.h"

#ifndef KYR_HELP_SOURCE_DIR
#define KYR_HELP_SOURCE_DIR ""
#endif

namespace kyr::ridgemo {

namespace {

QStringList PageNames(bool japanese) {
  QStringList names;
  if (japanese) names << QStringLiteral("ridgemo.ja.html");
  names << QStringLiteral("ridgemo.html");
  return names;
}

void ShowViewer(const QString& page, QWidget* parent) {
  // One viewer at a time: a second Help brings the open one forward.
  auto* viewer = parent != nullptr ? parent->findChild<HelpViewer*>() : nullptr;
  if (viewer == nullptr) viewer = new HelpViewer(page, parent);
  viewer->show();
  viewer->raise();
  viewer->activateWindow();
}

}  // namespace

QStringList HelpPageCandidates(const QString& program_dir, const QString& source_help_dir,
                               bool japanese) {
  QStringList folders = {program_dir + QStringLiteral("/../share/kyr-tools/help"),
                         program_dir + QStringLiteral("/help")};
  if (!source_help_dir.isEmpty()) folders << source_help_dir;
  QStringList candidates;
  for (const QString& folder : folders) {
    for (const QString& name : PageNames(japanese)) {
      candidates << QDir::cleanPath(folder + QLatin1Char('/') + name);
    }
  }
  return candidates;
}

QString FindHelpPage(const QString& program_dir, const QString& source_help_dir, bool japanese) {
  for (const QString& path : HelpPageCandidates(program_dir, source_help_dir, japanese)) {
    if (QFileInfo(path).isFile()) return path;
  }
  return {};
}

QString InstalledHelpPage() {
  return FindHelpPage(QCoreApplication::applicationDirPath(), QStringLiteral(KYR_HELP_SOURCE_DIR),
                      JapaneseLayout());
}

HelpViewer::HelpViewer(const QString& page, QWidget* parent)
    : QDialog(parent), browser_(new QTextBrowser(this)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(ToolString(ToolText::kHelp));
  browser_->setOpenExternalLinks(true);
  if (page.isEmpty()) {
    QString text =
        QStringLiteral("<p>%1</p><ul>").arg(ToolString(ToolText::kHelpNotFound).toHtmlEscaped());
    const QStringList looked =
        HelpPageCandidates(QCoreApplication::applicationDirPath(),
                           QStringLiteral(KYR_HELP_SOURCE_DIR), JapaneseLayout());
    for (const QString& path : looked) text += "<li><code>" + path.toHtmlEscaped() + "</code></li>";
    browser_->setHtml(text + QStringLiteral("</ul>"));
  } else {
    browser_->setSearchPaths({QFileInfo(page).absolutePath()});
    browser_->setSource(QUrl::fromLocalFile(page));
    if (!browser_->documentTitle().isEmpty()) setWindowTitle(browser_->documentTitle());
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(browser_);
  layout->addWidget(buttons);
  setMinimumSize(600, 460);
  resize(760, 640);
}

void ShowHelp(QWidget* parent) {
  const QString page = InstalledHelpPage();
  if (page.isEmpty()) {
    ShowViewer(page, parent);
    return;
  }
  // xdg-open reports by its exit status whether a browser took the page; it stays running
  // only while a browser it started in the foreground shows the page.
  auto* opener = new QProcess(parent);
  QObject::connect(opener, &QProcess::finished, opener,
                   [opener, page, parent](int code, QProcess::ExitStatus status) {
                     if (status != QProcess::NormalExit || code != 0) ShowViewer(page, parent);
                     opener->deleteLater();
                   });
  QObject::connect(opener, &QProcess::errorOccurred, opener,
                   [opener, page, parent](QProcess::ProcessError error) {
                     if (error != QProcess::FailedToStart) return;
                     ShowViewer(page, parent);
                     opener->deleteLater();
                   });
  opener->setProcessChannelMode(QProcess::ForwardedChannels);
  opener->start(QStringLiteral("xdg-open"), {QUrl::fromLocalFile(page).toString()});
}

}  // namespace kyr::ridgemo
