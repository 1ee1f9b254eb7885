// ridgemo: the communication tool for KYR-TC heads. With a command it runs on the command
// line; without one it opens the tool window.
#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "cli.h"
#include "window/ridgemo_app.h"

namespace {

// Takes the window's own options (--screenshot OUT.png, --scene NAME) out of the arguments.
bool TakeWindowOptions(std::vector<std::string>& args, kyr::ridgemo::WindowOptions& options) {
  bool missing = false;
  if (auto path = kyr::ridgemo::TakeOption(args, "--screenshot", missing)) {
    options.screenshot = *path;
  }
  if (auto scene = kyr::ridgemo::TakeOption(args, "--scene", missing)) options.scene = *scene;
  options.simulate = std::find(args.begin(), args.end(), "--simulate") != args.end();
  // --device is a global option too: look at it without taking it away.
  if (const auto it = std::find(args.begin(), args.end(), "--device");
      it != args.end() && it + 1 != args.end()) {
    options.device = *(it + 1);
  }
  if (missing) std::cerr << "ridgemo: an option is missing its value\n";
  return !missing;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  kyr::ridgemo::WindowOptions window;
  if (!TakeWindowOptions(arguments, window)) return kyr::ridgemo::kExitUsage;
  bool handled = false;
  const int status = kyr::ridgemo::RunCommandLine(arguments, handled);
  if (handled) {
    if (!window.screenshot.empty()) {
      std::cerr << "ridgemo: --screenshot applies to the window, not to a command\n";
      return kyr::ridgemo::kExitUsage;
    }
    return status;
  }
  return kyr::ridgemo::CRidgemoApp::Run(argc, argv, window);
}
