#include <string>
#include <vector>

#include "cli.h"
#include "tolvane_app.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const kyr::tolvane::CommandLineOutcome outcome = kyr::tolvane::RunCommandLine(args);
  if (outcome.exit_status) return *outcome.exit_status;
  return kyr::tolvane::RunWindow(argc, argv, outcome.window);
}
