#pragma once
// Ctrl-C and SIGTERM while a long command runs: the signal only sets a flag, which the
// command's abort check reads between blocks, so that the block in flight is finished and
// the link is closed as after a failure instead of the process dying in the middle.
#include <signal.h>

#include <atomic>

namespace kyr::ridgemo {

class InterruptGuard {
 public:
  InterruptGuard() {
    Flag() = false;
    struct sigaction action {};
    action.sa_handler = [](int) { Flag() = true; };
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a wait in poll() or read() returns at once with EINTR and its loop
    // looks at the flag.
    sigaction(SIGINT, &action, &old_int_);
    sigaction(SIGTERM, &action, &old_term_);
  }
  ~InterruptGuard() {
    sigaction(SIGINT, &old_int_, nullptr);
    sigaction(SIGTERM, &old_term_, nullptr);
  }
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

  // True once a signal came while a guard lived (until the next guard starts).
  static bool Interrupted() { return Flag(); }

 private:
  static std::atomic<bool>& Flag() { return flag_; }
  static_assert(std::atomic<bool>::is_always_lock_free);
  static inline std::atomic<bool> flag_{false};

  struct sigaction old_int_ {};
  struct sigaction old_term_ {};
};

}  // namespace kyr::ridgemo
