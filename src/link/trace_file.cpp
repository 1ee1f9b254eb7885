#include "link/trace_file.h"

#include <cstdlib>

namespace kyr::link {

std::unique_ptr<TraceFile> TraceFile::Open(const std::string& path) {
  std::unique_ptr<TraceFile> file(new TraceFile());
  file->out_.open(path, std::ios::out | std::ios::trunc);
  if (!file->out_) return nullptr;
  return file;
}

std::unique_ptr<TraceLog> TraceFile::UnitLog(std::string name) {
  auto log = std::make_unique<TraceLog>(out_, lock_, std::move(name));
  log->OnWriteFailure([this] { ReportFailure(); });
  return log;
}

void TraceFile::ReportFailureOn(std::ostream& err, std::string text) {
  report_ = [&err, text = std::move(text)] { err << text << '\n' << std::flush; };
  log_.OnWriteFailure([this] { ReportFailure(); });
}

void TraceFile::ReportFailure() {
  std::call_once(reported_, [this] {
    if (report_) report_();
  });
}

std::string ChosenTracePath(const std::optional<std::string>& option) {
  if (option) return *option;
  const char* variable = std::getenv(kTraceVariable);
  return variable != nullptr ? variable : "";
}

}  // namespace kyr::link
