#pragma once
// SHA-256 of a byte string or a file, as 64 lower-case hex digits.
#include <optional>
#include <string>
#include <string_view>

namespace kyr::backup {

std::string Sha256Hex(std::string_view data);
// Nullopt when the file cannot be read.
std::optional<std::string> Sha256OfFile(const std::string& path);

}  // namespace kyr::backup
