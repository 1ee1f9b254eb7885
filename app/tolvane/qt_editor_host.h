#pragma once
// The editor's port to its user, with Qt widgets: message boxes and file dialogs.
//
// By default every request shows a real modal widget. Tests and the screenshot mode set
// answerers instead, so that nothing waits for a person; the requests are then still
// built exactly as for the widgets (caption, icon, buttons, default answer, filters).
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "editor/editor_host.h"

class QWidget;

namespace kyr::tolvane {

enum class FileDialogKind { Open, Save };

// Answers a message box in place of the widget.
using MessageAnswerer = std::function<userport::Answer(const userport::Message&)>;
// Answers a file dialog in place of the widget: the chosen path, or nullopt for Cancel.
using FileAnswerer = std::function<std::optional<std::string>(
    FileDialogKind kind, const std::vector<userport::FileFilter>& filters,
    const std::string& initial_name)>;

class QtEditorHost : public editor::EditorHost {
 public:
  // The window that owns the message boxes, is disabled while a file dialog is up and is
  // given the focus afterwards.
  void SetWindow(QWidget* window) { window_ = window; }
  void SetMessageAnswerer(MessageAnswerer answerer) { message_answerer_ = std::move(answerer); }
  void SetFileAnswerer(FileAnswerer answerer) { file_answerer_ = std::move(answerer); }

  userport::Answer ShowMessage(const userport::Message& message) override;
  std::optional<std::string> AskOpenFile(const std::vector<userport::FileFilter>& filters,
                                         const std::string& initial_name) override;
  std::optional<std::string> AskSaveFile(const std::vector<userport::FileFilter>& filters,
                                         const std::string& initial_name) override;
  void FocusControl(int control_id) override;

 private:
  std::optional<std::string> AskFile(FileDialogKind kind,
                                     const std::vector<userport::FileFilter>& filters,
                                     const std::string& initial_name);
  std::optional<std::string> RunFileDialog(FileDialogKind kind,
                                           const std::vector<userport::FileFilter>& filters,
                                           const std::string& initial_name);

  QWidget* window_ = nullptr;
  MessageAnswerer message_answerer_;
  FileAnswerer file_answerer_;
};

}  // namespace kyr::tolvane
