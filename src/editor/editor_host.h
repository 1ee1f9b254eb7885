#pragma once
// The settings editor's port to its user.
//
// The editor's commands never touch a widget: they ask questions, show messages, ask for
// file names and move the keyboard focus through this interface. The Qt window implements
// it with real message boxes and file dialogs, the command line from its options, and the
// tests with a script that answers and records.
#include <optional>
#include <string>
#include <vector>

#include "userport/user_port.h"

namespace kyr::editor {

// The editor speaks the shared vocabulary of message boxes and file dialogs. A message's
// `string_id` is an editor string (kIllegalValue for the range message, whose text is the resource
// followed by the range).
using userport::Answer;
using userport::Buttons;
using userport::FileFilter;
using userport::Icon;
using userport::Message;

class EditorHost {
 public:
  virtual ~EditorHost() = default;

  virtual Answer ShowMessage(const Message& message) = 0;

  // File dialogs with the filters in order (the first one selected) and the name field
  // pre-filled with `initial_name`; nullopt when the user cancels. The dialogs neither check
  // that the file exists nor ask before overwriting: the editor does both itself. The main
  // window is disabled while a dialog is up and gets the focus back afterwards.
  virtual std::optional<std::string> AskOpenFile(const std::vector<FileFilter>& filters,
                                                 const std::string& initial_name) = 0;
  virtual std::optional<std::string> AskSaveFile(const std::vector<FileFilter>& filters,
                                                 const std::string& initial_name) = 0;

  // Gives the keyboard focus to the control with this id (a rejected edit box).
  virtual void FocusControl(int control_id) = 0;
};

}  // namespace kyr::editor
