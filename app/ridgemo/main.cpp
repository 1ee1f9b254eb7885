// ridgemo: the communication tool for KYR-TC heads. With a command it runs on the command
// line; without one it opens the tool window.
#include <algorithm>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli.h"
#include "link/trace_file.h"
#include "window/ridgemo_app.h"

namespace {

// The value of the last `name VALUE` in `args`, left in place (the command line takes it).
std::optional<std::string> PeekLastOption(const std::vector<std::string>& args,
                                          std::string_view name) {
  std::optional<std::string> value;
  for (std::size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == name) value = args[i + 1];
  }
  return value;
}

// Takes the window's own options (--screenshot OUT.png, --scene NAME) out of the arguments.
bool TakeWindowOptions(std::vector<std::string>& args, kyr::ridgemo::WindowOptions& options) {
  bool missing = false;
  if (auto path = kyr::ridgemo::TakeOption(args, "--screenshot", missing)) {
    options.screenshot = *path;
  }
  if (auto scene = kyr::ridgemo::TakeOption(args, "--scene", missing)) options.scene = *scene;
  const std::optional<int> units = kyr::ridgemo::SimulatedUnitsAsked(args);
  options.simulate = units.has_value();
  options.simulated_units = units.value_or(1);
  // --device and --trace are global options too: look at them without taking them away.
  options.device = PeekLastOption(args, "--device").value_or("");
  options.trace = kyr::link::ChosenTracePath(PeekLastOption(args, "--trace"));
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
