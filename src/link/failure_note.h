#pragma once
// Why the link failed last: the port or head unit it was about and the system's reason, in
// words a user can act on ("/dev/ttyUSB0: Permission denied — add your user to the dialout
// group"). The messages of the tool keep their own texts; this note is shown under them.
//
// The link records a note at each failure of an open, a read or a write, and clears it at
// every open. Discovery back ends (for example a USB permission check) may record a more
// precise note with Record; the last one recorded wins.
#include <string>

namespace kyr::link {

class FailureNote {
 public:
  void Record(std::string where, std::string why);
  // No head unit was found at all: the front ends add what to do (plug in, cable, rule).
  void RecordNoHeadFound(std::string why);
  void Clear();
  bool NoHeadFound() const { return no_head_found_; }
  bool Empty() const { return why_.empty(); }
  // "where: why", or "why" alone without a place; empty when nothing failed.
  std::string Line() const;

 private:
  std::string where_;
  std::string why_;
  bool no_head_found_ = false;
};

// The system's text for `error_number`, with what to do where the cause is common on Linux:
// no permission on a serial device, a port held by another program, a path that is no port.
std::string SystemReason(int error_number);

}  // namespace kyr::link
