// ridgemo: the communication tool for KYR-TC heads. With a command it runs on the command
// line; without one it opens the tool window.
#include <string>
#include <vector>

#include "cli.h"
#include "common/window_placement.h"
#include "window/ridgemo_app.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  if (!kyr::app_common::TakeCornerOption(arguments)) return kyr::ridgemo::kExitUsage;
  kyr::ridgemo::WindowOptions window;
  bool handled = false;
  const int status = kyr::ridgemo::RunCommandLine(arguments, handled, window);
  if (handled) return status;
  return kyr::ridgemo::CRidgemoApp::Run(argc, argv, window);
}
