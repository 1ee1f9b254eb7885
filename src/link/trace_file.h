#pragma once
// A link trace written to a file, chosen by the user (ridgemo --trace FILE, or KYR_TRACE).
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>

#include "link/trace.h"

namespace kyr::link {

// The environment variable that names a trace file when no option does.
inline constexpr const char* kTraceVariable = "KYR_TRACE";

class TraceFile {
 public:
  // Creates (or empties) `path`; nullptr when it cannot be written.
  static std::unique_ptr<TraceFile> Open(const std::string& path);

  TraceLog& log() { return log_; }
  // A log of its own for one of several links that work at once, on the same file: its
  // lines start with `name` and never mix with the other links' lines.
  std::unique_ptr<TraceLog> UnitLog(std::string name);
  // `text` goes to `err` once when a line of the trace cannot be written.
  void ReportFailureOn(std::ostream& err, std::string text);

 private:
  TraceFile() = default;

  void ReportFailure();

  std::ofstream out_;
  std::mutex lock_;  // the unit logs' lines, one at a time
  std::function<void()> report_;
  std::once_flag reported_;
  TraceLog log_{out_, lock_, ""};  // declared after out_: flushed before the file closes
};

// The trace file to write: the option's value when given, else the environment variable's;
// empty for no trace.
std::string ChosenTracePath(const std::optional<std::string>& option);

}  // namespace kyr::link
