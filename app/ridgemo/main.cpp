// ridgemo: the communication tool for KYR-TC heads. With a command it runs on the command
// line; without one it opens the tool window.
#include <QtGlobal>
#include <iostream>
#include <string>
#include <vector>

#include "cli.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  bool handled = false;
  const int status = kyr::ridgemo::RunCommandLine(arguments, handled);
  if (handled) return status;
  std::cout << "The ridgemo window is not built yet (Qt " << qVersion()
            << "); see ridgemo --help for the commands.\n";
  return kyr::ridgemo::kExitDone;
}
