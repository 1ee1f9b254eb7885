#pragma once
// Opening a file for reading only when it is a regular file, without ever blocking: a FIFO,
// a device or a folder given as a file is refused instead of hanging or being read for ever.
#include <cstdint>
#include <optional>
#include <string>

namespace kyr::files {

enum class OpenProblem { kNone, kMissing, kNotRegular, kTooLarge, kUnreadable };

// A descriptor open for reading (blocking reads) on the regular file at `path` (links are
// followed), or -1 with the reason in `problem`.
int OpenRegularFile(const std::string& path, OpenProblem& problem);

// The whole file when it is a regular file of at most `max_bytes`; nullopt and the reason
// otherwise.
std::optional<std::string> ReadRegularFile(const std::string& path, std::uint64_t max_bytes,
                                           OpenProblem& problem);

}  // namespace kyr::files
