#pragma once
// What a head service reports and asks while it runs: its progress, and whether it is to
// stop. A service never asks the user anything; the caller turns these into a progress bar,
// a progress line or nothing, and reads its Abort button, Ctrl-C or a job's interruption.
#include <functional>

namespace kyr::tool {

struct ServiceHooks {
  // The step the service is at (a block number, as the service's header says).
  std::function<void(int position)> progress;
  // Polled between steps; true ends the service with its aborted result.
  std::function<bool()> abort;

  void Progress(int position) const {
    if (progress) progress(position);
  }
  bool AbortRequested() const { return abort && abort(); }
};

}  // namespace kyr::tool
