#pragma once
// The communication tool's port to its user.
//
// Operations (settings transfers, image reads and writes, the monitor) never touch a window:
// they ask the user, report progress and let pending window events run through this
// interface. The Qt window implements it with real widgets, the command line from its
// options, and tests with a script that answers and records.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tool/write_choices.h"
#include "userport/user_port.h"

namespace kyr::tool {

// The tool speaks the shared vocabulary of message boxes and file dialogs. A message's
// `string_id` is a tool string (0 for composed texts).
using userport::Answer;
using userport::Buttons;
using userport::FileFilter;
using userport::Icon;
using userport::Message;

// One of the image selection dialogs of an image read.
struct ImageSelectionDialog {
  int dialog_id = 0;  // 136 bank, 135 memory, 138 taken, 137 NG images
  std::string title;  // in the process language
  int boxes = 0;      // check boxes "No.0" to "No.<boxes - 1>"
};

class ToolHost {
 public:
  virtual ~ToolHost() = default;

  virtual Answer ShowMessage(const Message& message) = 0;

  // File dialogs; nullopt or an empty list when the user cancels. The window is disabled
  // while the dialog is up and given the focus again after it.
  virtual std::optional<std::string> AskSaveFile(const std::vector<FileFilter>& filters,
                                                 const std::string& initial_name) = 0;
  virtual std::optional<std::string> AskOpenFile(const std::vector<FileFilter>& filters,
                                                 const std::string& initial_name) = 0;
  virtual std::vector<std::string> AskOpenFiles(const std::vector<FileFilter>& filters) = 0;

  // Progress bar of the main window.
  virtual void SetProgressRange(int low, int high) = 0;
  virtual void SetProgressPosition(int position) = 0;

  // Lets at most `count` queued window events run (the Abort button acts through this).
  virtual void ProcessPendingEvents(int count) = 0;

  // The settings write dialog, opened on `choices`. True when the user pressed WRITE; the
  // dialog's choices are then in `choices`. Otherwise `choices` is untouched. A host without
  // the dialog never accepts it, so nothing is written through it.
  virtual bool AskWriteChoices(WriteChoices& choices) {
    static_cast<void>(choices);
    return false;
  }

  // Image selection dialog (one check box per image, GO, Cancel and Clear). On opening, box
  // k is checked exactly when bit k of `mask` is set. GO returns true with bit k of `mask`
  // set to the state of box k for every box; Cancel or closing returns false and leaves
  // `mask` alone. A host without the dialog cancels.
  virtual bool AskImageSelection(const ImageSelectionDialog& dialog, std::uint64_t& mask) {
    static_cast<void>(dialog);
    static_cast<void>(mask);
    return false;
  }

  // Image number dialog for a write: a list of "0" to count - 1 with `number` selected
  // (the caller keeps it below `count`). GO returns true with the chosen number in
  // `number`; Cancel or closing returns false. A host without the dialog cancels.
  virtual bool AskImageNumber(int count, int& number) {
    static_cast<void>(count);
    static_cast<void>(number);
    return false;
  }

  // The "No." field of the main window.
  virtual void ShowImageNumber(int number) { static_cast<void>(number); }
  // Paints the display canvas again (after it was loaded from a file).
  virtual void PaintCanvas() {}

  // The Abort button's request: read after each received block of an image read, cleared
  // when a read starts.
  virtual bool AbortRequested() { return false; }
  virtual void ClearAbortRequest() {}
  virtual void EnableAbort(bool enabled) { static_cast<void>(enabled); }
  // The buttons and boxes that start commands (Image Monitor, Save BMP, Exit, both settings
  // transfers, Read Image, Write Image, Target Head, Image Type), off while a transfer runs.
  virtual void EnableCommands(bool enabled) { static_cast<void>(enabled); }
};

}  // namespace kyr::tool
