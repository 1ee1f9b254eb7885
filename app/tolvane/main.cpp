#include <cstdio>
#include <string>
#include <vector>

#include "cli.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const kyr::tolvane::CommandLineOutcome outcome = kyr::tolvane::RunCommandLine(args);
  if (outcome.exit_status) return *outcome.exit_status;
  std::fputs("tolvane: the editor window is not built yet; see tolvane --help.\n", stdout);
  return kyr::tolvane::kExitDone;
}
