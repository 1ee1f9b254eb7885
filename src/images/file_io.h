#pragma once
// Small file helpers of the image formats (not part of the module's interface).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace kyr::images::detail {

// The regular file at `path` opened for reading, or null: a FIFO, device or folder is
// refused without blocking.
std::FILE* OpenForReading(const std::string& path);

// Reads until `out` is full or the file ends; returns the number of bytes read.
std::size_t ReadUpTo(std::FILE* file, std::span<std::uint8_t> out);

// Writes binary `data` through the atomic writer: a failure never leaves a half-written
// file under `path` nor destroys the file that was there.
bool WriteWholeFile(const std::string& path, std::span<const std::uint8_t> data);

}  // namespace kyr::images::detail
