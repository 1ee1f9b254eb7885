#pragma once
// Replacing a file without ever leaving a half-written one under its name.
#include <string>
#include <string_view>

namespace kyr::settings {

// Writes `content` to a temporary file in the target's folder, flushes it to disk and renames
// it over `path`. On any failure the temporary file is removed, a file already at `path` is
// left as it was, and the result is false. A file the user may not write is not replaced.
bool WriteFileAtomically(const std::string& path, std::string_view content);

}  // namespace kyr::settings
