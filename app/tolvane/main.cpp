#include <string>
#include <vector>

#include "cli.h"
#include "common/window_placement.h"
#include "tolvane_app.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!kyr::app_common::TakeCornerOption(args)) return 2;
  const kyr::tolvane::CommandLineOutcome outcome = kyr::tolvane::RunCommandLine(args);
  if (outcome.exit_status) return *outcome.exit_status;
  return kyr::tolvane::RunWindow(argc, argv, outcome.window);
}
