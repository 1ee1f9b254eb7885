#pragma once
// The editor application: one editor model, its Qt host and the main window, for the life
// of the process. The window is shown modally; the program ends when it closes.
#include <memory>

#include "cli.h"
#include "editor/editor.h"
#include "qt_editor_host.h"
#include "tolvane_dlg.h"

namespace kyr::tolvane {

class CTolvaneApp {
 public:
  CTolvaneApp();
  CTolvaneApp(const CTolvaneApp&) = delete;
  CTolvaneApp& operator=(const CTolvaneApp&) = delete;

  // Start-up, then the file, page, bank and window of `request`.
  void Prepare(const WindowRequest& request);
  // Prepare, then either the screenshot or the modal window; returns the exit status.
  int Run(const WindowRequest& request);

  CTolvaneDlg& Dialog() { return dialog_; }
  QtEditorHost& Host() { return host_; }
  editor::Editor& Model() { return editor_; }

 private:
  int SaveScreenshot(const std::string& path);

  QtEditorHost host_;
  editor::Editor editor_{host_};
  CTolvaneDlg dialog_{editor_};
};

// Sets up Qt for the window (platform, style, fonts, icon) and runs it. `argc`/`argv` are
// the process's own, handed to QApplication.
int RunWindow(int& argc, char** argv, const WindowRequest& request);

}  // namespace kyr::tolvane
