#pragma once
// Serves a simulated head unit on a pseudo-terminal until asked to stop.
#include <atomic>
#include <cstdint>
#include <string>

#include "headsim/engine.h"

namespace kyr::headsim {

struct PtyServerOptions {
  std::string link_path;  // symbolic link made to point at the terminal's slave side
  long baud = 0;          // 0: send as fast as the terminal takes it
};

// Runs until `stop` becomes true. Each time the tool closes the terminal a fresh one is
// made and the link re-pointed, so that settings the tool left on the line (exclusive
// use in particular) never lock out the next session. Returns 0, or 1 after printing why
// it could not serve.
int ServeOnPty(Engine& engine, const Clock& clock, const PtyServerOptions& options,
               const std::atomic<bool>& stop);

}  // namespace kyr::headsim
