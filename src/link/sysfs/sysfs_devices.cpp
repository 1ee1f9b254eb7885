#include "link/sysfs/sysfs_devices.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "link/discovery.h"
#include "strings/strings.h"

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

int NumberAttribute(const fs::path& file) {
  std::string text;
  if (!ReadAttribute(file, text)) return 0;
  try {
    return std::stoi(text);
  } catch (...) {
    return 0;
  }
}

std::string NodeOf(int bus, int device) {
  char node[32];
  std::snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d", bus, device);
  return node;
}

// Opening the node is the only sure test: access() would answer for the real user id and
// the permitted capabilities, not for what an open by this process meets.
bool MayOpen(const std::string& node) {
  const int fd = ::open(node.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return errno != EACCES && errno != EPERM;
  ::close(fd);
  return true;
}

// The tty a bound serial driver made for the device: an entry "tty*" in one of the device's
// interface folders ("1-2:1.0/ttyUSB0"); empty when no driver is bound.
std::string TtyOf(const fs::path& folder) {
  std::vector<fs::path> interfaces;
  if (!DeviceFolders(folder.string(), interfaces)) return {};
  const std::string prefix = folder.filename().string() + ":";
  for (const auto& interface : interfaces) {
    if (!interface.filename().string().starts_with(prefix)) continue;
    std::vector<fs::path> entries;
    if (!DeviceFolders(interface.string(), entries)) continue;
    for (const auto& entry : entries) {
      const std::string name = entry.filename().string();
      if (name.starts_with("tty") && name != "tty") return name;
    }
  }
  return {};
}

// Where udev reads the rule from when it is installed (the package puts it under /usr/lib).
constexpr std::array<const char*, 2> kInstalledRules = {
    "/etc/udev/rules.d/70-kyr-sensor.rules", "/usr/lib/udev/rules.d/70-kyr-sensor.rules"};

// True when this program runs from a build tree of the sources (the CMake cache lies in
// one of the folders above it), where the rule's source path means something.
bool RunsFromBuildTree() {
  std::error_code error;
  fs::path folder = fs::read_symlink("/proc/self/exe", error).parent_path();
  for (int level = 0; level < 4 && !error && !folder.empty(); ++level) {
    if (fs::exists(folder / "CMakeCache.txt", error)) return true;
    if (folder == folder.root_path()) break;
    folder = folder.parent_path();
  }
  return false;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> StableSerialNames(const std::string& dev) {
  std::vector<std::pair<std::string, std::string>> names;
  std::vector<fs::path> links;
  if (!DeviceFolders(dev + "/serial/by-id", links)) return names;
  for (const auto& link : links) {
    std::error_code error;
    const fs::path target = fs::read_symlink(link, error);
    if (error) continue;
    names.emplace_back(link.string(), (fs::path(dev) / target.filename()).string());
  }
  return names;
}

std::vector<HeadUnit> ListHeadUnits(const std::string& root, const std::string& dev) {
  const auto stable_names = StableSerialNames(dev);
  std::vector<HeadUnit> units;
  std::vector<fs::path> folders;
  if (!DeviceFolders(root, folders)) return units;
  for (const auto& folder : folders) {
    const std::string id = InstanceIdOf(folder);
    if (id.empty() || !SerialOfInstance(id).starts_with(kKyrSerialPrefix)) continue;
    HeadUnit unit;
    unit.serial = std::string(SerialOfInstance(id));
    ReadAttribute(folder / "product", unit.description);
    unit.bus = NumberAttribute(folder / "busnum");
    unit.device = NumberAttribute(folder / "devnum");
    unit.node = NodeOf(unit.bus, unit.device);
    unit.may_open = MayOpen(unit.node);
    if (const std::string tty = TtyOf(folder); !tty.empty()) {
      unit.tty = (fs::path(dev) / tty).string();
      for (const auto& [name, node] : stable_names) {
        if (node == unit.tty) unit.stable_tty = name;
      }
    }
    units.push_back(std::move(unit));
  }
  return units;
}

// With the rule installed, the user is told which file it is and which group to join;
// without it, how to install it: from the source tree when running from a build, else from
// the package that ships it.
std::string AccessProblemText(const HeadUnit& unit) {
  for (const char* rule : kInstalledRules) {
    std::error_code error;
    if (fs::exists(rule, error)) {
      return FormatMessage(LoadString(ToolText::kNoAccessRuleInstalled),
                           {unit.serial, unit.node, rule});
    }
  }
  const ToolText id = RunsFromBuildTree() ? ToolText::kNoAccess : ToolText::kNoAccessNoRule;
  return FormatMessage(LoadString(id), {unit.serial, unit.node});
}

std::string SysfsDevices::AccessProblem(std::string_view serial) {
  for (const HeadUnit& unit : ListHeadUnits(root_)) {
    if (unit.serial == serial) return unit.may_open ? std::string() : AccessProblemText(unit);
  }
  return {};
}

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
  const std::lock_guard lock(mutex_);
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
