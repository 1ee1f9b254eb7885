#pragma once
// A link trace written to a file, chosen by the user (ridgemo --trace FILE, or KYR_TRACE).
#include <fstream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "link/trace.h"

namespace kyr::link {

// The environment variable that names a trace file when no option does.
inline constexpr const char* kTraceVariable = "KYR_TRACE";
// Tool string: the trace file (named) could not be written further.
inline constexpr int kStrTraceUnwritable = 2314;

class TraceFile {
 public:
  // Creates (or empties) `path`; nullptr when it cannot be written.
  static std::unique_ptr<TraceFile> Open(const std::string& path);

  TraceLog& log() { return log_; }
  // `text` goes to `err` once when a line of the trace cannot be written.
  void ReportFailureOn(std::ostream& err, std::string text) {
    log_.OnWriteFailure([&err, text = std::move(text)] { err << text << '\n' << std::flush; });
  }

 private:
  TraceFile() = default;

  std::ofstream out_;
  TraceLog log_{out_};  // declared after out_: flushed before the file closes
};

// The trace file to write: the option's value when given, else the environment variable's;
// empty for no trace.
std::string ChosenTracePath(const std::optional<std::string>& option);

}  // namespace kyr::link
