#include "link/sysfs/sysfs_devices.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace kyr::link {

namespace fs = std::filesystem;

namespace {

// First line of a sysfs attribute without its line end; false when it cannot be read.
bool ReadAttribute(const fs::path& file, std::string& value) {
  std::ifstream in(file);
  if (!in || !std::getline(in, value)) return false;
  while (!value.empty() && (value.back() == '\r' || value.back() == ' ')) value.pop_back();
  return true;
}

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// Instance id of a device folder, or empty when it is not a device with a serial number.
std::string InstanceIdOf(const fs::path& folder) {
  std::string vendor, product, serial;
  if (!ReadAttribute(folder / "idVendor", vendor) ||
      !ReadAttribute(folder / "idProduct", product) || !ReadAttribute(folder / "serial", serial) ||
      serial.empty()) {
    return {};
  }
  return "USB\\VID_" + Upper(vendor) + "&PID_" + Upper(product) + "\\" + serial;
}

// Device folders in name order (sysfs lists them in no fixed order); false when the root
// cannot be read.
bool DeviceFolders(const std::string& root, std::vector<fs::path>& folders) {
  std::error_code error;
  fs::directory_iterator it(root, error);
  if (error) return false;
  for (; it != fs::directory_iterator(); it.increment(error)) {
    if (error) return false;
    folders.push_back(it->path());
  }
  std::sort(folders.begin(), folders.end());
  return true;
}

}  // namespace

bool SysfsDevices::ListPresent(std::vector<std::string>& instance_ids) {
  instance_ids.clear();
  std::vector<fs::path> folders;
  if (!DeviceFolders(root_, folders)) return false;
  for (const auto& folder : folders) {
    std::string id = InstanceIdOf(folder);
    if (!id.empty()) instance_ids.push_back(std::move(id));
  }
  return true;
}

bool SysfsDevices::SetEnabled(const std::string& instance_id, bool enabled) {
  fs::path folder;
  if (const auto known = disabled_.find(instance_id); enabled && known != disabled_.end()) {
    folder = known->second;
    disabled_.erase(known);
  } else {
    std::vector<fs::path> folders;
    if (!DeviceFolders(root_, folders)) return false;
    for (const auto& candidate : folders) {
      if (InstanceIdOf(candidate) == instance_id) folder = candidate;
      if (!folder.empty()) break;
    }
    if (folder.empty()) return false;
  }
  // Writing "0" unbinds the device's drivers and "1" makes the kernel probe it afresh,
  // which is the way back for a device whose driver has lost it. Needs write access to
  // the attribute (root, or a udev rule); without it the open later simply times out.
  std::ofstream out(folder / "authorized");
  if (!out) return false;
  out << (enabled ? "1" : "0");
  out.flush();
  if (!out) return false;
  if (!enabled) disabled_[instance_id] = folder;
  return true;
}

}  // namespace kyr::link
