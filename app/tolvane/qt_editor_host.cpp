#include "qt_editor_host.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QPushButton>
#include <QStringList>

#include "common/file_folders.h"
#include "common/message_box.h"

namespace kyr::tolvane {
namespace {

// "Label (pattern)" entries as Qt reads them; our labels already hold their pattern in
// parentheses, so they are used as they stand.
QStringList NameFilters(const std::vector<userport::FileFilter>& filters) {
  QStringList list;
  for (const userport::FileFilter& filter : filters) list << QString::fromStdString(filter.label);
  return list;
}

// Disables the main window while a file dialog is up; enables it again and gives it the
// focus afterwards, on every path out.
class DisabledWhileAsking {
 public:
  explicit DisabledWhileAsking(QWidget* window) : window_(window) {
    if (window_ != nullptr) window_->setEnabled(false);
  }
  ~DisabledWhileAsking() {
    if (window_ == nullptr) return;
    window_->setEnabled(true);
    window_->activateWindow();
    window_->setFocus(Qt::OtherFocusReason);
  }
  DisabledWhileAsking(const DisabledWhileAsking&) = delete;
  DisabledWhileAsking& operator=(const DisabledWhileAsking&) = delete;

 private:
  QWidget* window_;
};

}  // namespace

userport::Answer QtEditorHost::ShowMessage(const userport::Message& message) {
  if (message_answerer_) return message_answerer_(message);
  // The window's title without its modified-mark placeholder.
  const QString title =
      window_ != nullptr ? window_->windowTitle().remove(QStringLiteral("[*]")) : QString();
  return app_common::ShowMessageBox(message, title, window_);
}

std::optional<std::string> QtEditorHost::AskOpenFile(
    const std::vector<userport::FileFilter>& filters, const std::string& initial_name) {
  return AskFile(FileDialogKind::Open, filters, initial_name);
}

std::optional<std::string> QtEditorHost::AskSaveFile(
    const std::vector<userport::FileFilter>& filters, const std::string& initial_name) {
  return AskFile(FileDialogKind::Save, filters, initial_name);
}

std::optional<std::string> QtEditorHost::AskFile(FileDialogKind kind,
                                                 const std::vector<userport::FileFilter>& filters,
                                                 const std::string& initial_name) {
  DisabledWhileAsking disabled(window_);
  if (file_answerer_) return file_answerer_(kind, filters, initial_name);
  return RunFileDialog(kind, filters, initial_name);
}

std::optional<std::string> QtEditorHost::RunFileDialog(
    FileDialogKind kind, const std::vector<userport::FileFilter>& filters,
    const std::string& initial_name) {
  // No owner: a dialog owned by the disabled main window would be disabled with it.
  QFileDialog dialog;
  dialog.setObjectName("settings-file-dialog");
  dialog.setWindowModality(Qt::ApplicationModal);
  // The editor applies the extension rule and asks before overwriting itself; a name
  // that does not exist yet is reported by the reader, not refused here.
  dialog.setAcceptMode(kind == FileDialogKind::Save ? QFileDialog::AcceptSave
                                                    : QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  dialog.setNameFilters(NameFilters(filters));
  if (!filters.empty()) dialog.selectNameFilter(QString::fromStdString(filters.front().label));
  const std::string file_kind = app_common::FileKind(filters);
  app_common::StartInRememberedFolder(dialog, file_kind, initial_name);
  // A name with a folder (the open file's absolute path) starts the dialog in that folder,
  // with the bare name in the name field.
  const QFileInfo initial(QString::fromStdString(initial_name));
  if (initial_name.find('/') != std::string::npos) dialog.setDirectory(initial.absolutePath());
  if (!initial_name.empty()) dialog.selectFile(initial.fileName());
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty() || chosen.front().isEmpty()) return std::nullopt;
  app_common::RememberFolder(file_kind, chosen.front());
  return chosen.front().toStdString();
}

void QtEditorHost::FocusControl(int control_id) {
  if (window_ == nullptr) return;
  if (auto* control = window_->findChild<QWidget*>(QString::number(control_id))) {
    control->setFocus(Qt::OtherFocusReason);
  }
}

}  // namespace kyr::tolvane
