#include "qt_editor_host.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>

namespace kyr::tolvane {
namespace {

using editor::Answer;
using editor::Buttons;
using editor::Icon;

QMessageBox::Icon BoxIcon(Icon icon) {
  switch (icon) {
    case Icon::Information:
      return QMessageBox::Information;
    case Icon::Exclamation:
      return QMessageBox::Warning;
    case Icon::Error:
      return QMessageBox::Critical;
    case Icon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons BoxButtons(Buttons buttons) {
  switch (buttons) {
    case Buttons::YesNo:
      return QMessageBox::Yes | QMessageBox::No;
    case Buttons::YesNoCancel:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case Buttons::Ok:
      break;
  }
  return QMessageBox::Ok;
}

QMessageBox::StandardButton BoxButton(Answer answer) {
  switch (answer) {
    case Answer::Yes:
      return QMessageBox::Yes;
    case Answer::No:
      return QMessageBox::No;
    case Answer::Cancel:
      return QMessageBox::Cancel;
    case Answer::Ok:
      break;
  }
  return QMessageBox::Ok;
}

Answer AnswerOf(int button) {
  switch (button) {
    case QMessageBox::Yes:
      return Answer::Yes;
    case QMessageBox::No:
      return Answer::No;
    case QMessageBox::Cancel:
      return Answer::Cancel;
    default:
      return Answer::Ok;
  }
}

// "Label (pattern)" entries as Qt reads them; our labels already hold their pattern in
// parentheses, so they are used as they stand.
QStringList NameFilters(const std::vector<editor::FileFilter>& filters) {
  QStringList list;
  for (const editor::FileFilter& filter : filters) list << QString::fromStdString(filter.label);
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

Answer QtEditorHost::ShowMessage(const editor::Message& message) {
  if (message_answerer_) return message_answerer_(message);
  QMessageBox box(BoxIcon(message.icon), QString::fromStdString(message.caption),
                  QString::fromStdString(message.text), BoxButtons(message.buttons), window_);
  box.setDefaultButton(BoxButton(message.default_answer));
  const int button = box.exec();
  if (window_ != nullptr) window_->activateWindow();
  return AnswerOf(button);
}

std::optional<std::string> QtEditorHost::AskOpenFile(const std::vector<editor::FileFilter>& filters,
                                                     const std::string& initial_name) {
  return AskFile(FileDialogKind::Open, filters, initial_name);
}

std::optional<std::string> QtEditorHost::AskSaveFile(const std::vector<editor::FileFilter>& filters,
                                                     const std::string& initial_name) {
  return AskFile(FileDialogKind::Save, filters, initial_name);
}

std::optional<std::string> QtEditorHost::AskFile(FileDialogKind kind,
                                                 const std::vector<editor::FileFilter>& filters,
                                                 const std::string& initial_name) {
  DisabledWhileAsking disabled(window_);
  if (file_answerer_) return file_answerer_(kind, filters, initial_name);
  return RunFileDialog(kind, filters, initial_name);
}

std::optional<std::string> QtEditorHost::RunFileDialog(
    FileDialogKind kind, const std::vector<editor::FileFilter>& filters,
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
  if (!initial_name.empty()) dialog.selectFile(QString::fromStdString(initial_name));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty() || chosen.front().isEmpty()) return std::nullopt;
  return chosen.front().toStdString();
}

void QtEditorHost::FocusControl(int control_id) {
  if (window_ == nullptr) return;
  if (auto* control = window_->findChild<QWidget*>(QString::number(control_id))) {
    control->setFocus(Qt::OtherFocusReason);
  }
}

}  // namespace kyr::tolvane
