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

// Runs until `stop` becomes true. The terminal lives for the whole run; when the tool
// closes it, whatever is still on the line is thrown away, as on a real port, and a
// dropped link comes back for the next session. Returns 0, or 1 after printing why it
// could not serve.
int ServeOnPty(Engine& engine, const Clock& clock, const PtyServerOptions& options,
               const std::atomic<bool>& stop);

}  // namespace kyr::headsim
