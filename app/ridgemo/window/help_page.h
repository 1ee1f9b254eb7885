#pragma once
// The tool's help page: where it is found (installed, build tree, source tree), and showing it
// with the desktop's browser or, when none can be started, in a viewer of the program's own.
#include <QDialog>
#include <QString>
#include <QStringList>

class QTextBrowser;
class QWidget;

namespace kyr::ridgemo {

// The help pages that may exist, best first: beside an installed program
// (PREFIX/bin -> PREFIX/share/kyr-tools/help), in the build tree (copied beside the program),
// then in `source_help_dir`. The Japanese page, when asked for, comes before the English one
// in each place.
QStringList HelpPageCandidates(const QString& program_dir, const QString& source_help_dir,
                               bool japanese);

// The first of the candidates that exists, or an empty string.
QString FindHelpPage(const QString& program_dir, const QString& source_help_dir, bool japanese);

// The help page of this program in the process language (empty when none is found).
QString InstalledHelpPage();

// A window showing the help page, or, with no page, where it was looked for.
class HelpViewer : public QDialog {
  Q_OBJECT

 public:
  HelpViewer(const QString& page, QWidget* parent);
  QTextBrowser* Browser() const { return browser_; }

 private:
  QTextBrowser* browser_ = nullptr;
};

// Opens the help page with the desktop's browser (xdg-open); when that cannot start or reports
// a failure, or no page is found, shows it in a HelpViewer instead. Never shows nothing.
void ShowHelp(QWidget* parent);

}  // namespace kyr::ridgemo
