#include "link/trace_file.h"

#include <cstdlib>

namespace kyr::link {

std::unique_ptr<TraceFile> TraceFile::Open(const std::string& path) {
  std::unique_ptr<TraceFile> file(new TraceFile());
  file->out_.open(path, std::ios::out | std::ios::trunc);
  if (!file->out_) return nullptr;
  return file;
}

std::string ChosenTracePath(const std::optional<std::string>& option) {
  if (option) return *option;
  const char* variable = std::getenv(kTraceVariable);
  return variable != nullptr ? variable : "";
}

}  // namespace kyr::link
