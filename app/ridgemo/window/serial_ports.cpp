#include "window/serial_ports.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "link/sysfs/sysfs_devices.h"

namespace kyr::ridgemo {
namespace {

constexpr std::array<std::string_view, 3> kPrefixes = {"ttyS", "ttyUSB", "ttyACM"};
constexpr int kComPorts = 9;  // ttyS0 to ttyS8

// The prefix and the device number; number -1 when the name is not a serial device.
std::pair<std::string_view, int> SplitDeviceName(std::string_view name) {
  for (std::string_view prefix : kPrefixes) {
    if (!name.starts_with(prefix) || name.size() == prefix.size()) continue;
    int number = 0;
    for (char c : name.substr(prefix.size())) {
      if (c < '0' || c > '9' || number > 99999) return {prefix, -1};
      number = number * 10 + (c - '0');
    }
    return {prefix, number};
  }
  return {{}, -1};
}

}  // namespace

std::vector<std::string> FindSerialDevices(const std::string& folder) {
  struct Found {
    std::size_t prefix_rank;
    int number;
    std::string path;
  };
  std::vector<Found> found;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    const auto [prefix, number] = SplitDeviceName(name);
    if (number < 0 || (prefix == "ttyS" && number < kComPorts)) continue;
    const auto rank = static_cast<std::size_t>(
        std::find(kPrefixes.begin(), kPrefixes.end(), prefix) - kPrefixes.begin());
    found.push_back({rank, number, entry.path().string()});
  }
  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    return a.prefix_rank != b.prefix_rank ? a.prefix_rank < b.prefix_rank : a.number < b.number;
  });
  std::vector<std::string> paths;
  for (auto& [name, node] : link::StableSerialNames(folder)) paths.push_back(std::move(name));
  for (Found& device : found) paths.push_back(std::move(device.path));
  return paths;
}

}  // namespace kyr::ridgemo
