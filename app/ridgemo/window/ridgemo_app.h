#pragma once
// The tool's application: starts the main window, runs it until it closes, and renders it to
// a picture for --screenshot.
#include <string>

class QApplication;

namespace kyr::ridgemo {

struct WindowOptions {
  bool simulate = false;    // the simulated head as the USB head unit
  int simulated_units = 1;  // units on the simulated line
  std::string device;       // the head unit to talk to, by serial number; empty: the first
  std::string screenshot;   // render to this PNG and exit
  std::string trace;        // write every frame of the window's links to this file; empty: none
  // What the screenshot shows: idle, monitor, or a dialog (prm-write, bank, memory, ng,
  // shoot, write-number, message).
  std::string scene = "idle";
};

class CRidgemoApp {
 public:
  // The scenes --scene knows.
  static const char* const kScenes[];

  // What the application shows beside the window: its name, icon, desktop entry, and Qt's own
  // texts in the chosen language.
  static void SetUpApplication(QApplication& application);

  // Runs the window; the program's exit status.
  static int Run(int& argc, char** argv, const WindowOptions& options);
};

}  // namespace kyr::ridgemo
