#pragma once
// Present USB devices from sysfs, and their disabling through the "authorized" attribute.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "link/platform.h"

namespace kyr::link {

inline constexpr const char* kSysfsUsbDevices = "/sys/bus/usb/devices";

// Every directory under `root` with idVendor, idProduct and serial files is a present device
// with the instance id "USB\VID_vvvv&PID_pppp\SERIAL" (hex digits in upper case). Directories
// are taken in name order. Tests point `root` at a fake tree.
class SysfsDevices final : public DeviceManager {
 public:
  explicit SysfsDevices(std::string root = kSysfsUsbDevices) : root_(std::move(root)) {}

  bool ListPresent(std::vector<std::string>& instance_ids) override;
  // Writes "0" or "1" to the device's authorized file; false without permission.
  bool SetEnabled(const std::string& instance_id, bool enabled) override;

 private:
  std::string root_;
  // Folders of the devices this object disabled: some kernels blank the serial number of an
  // unauthorized device, and the device must still be found to enable it again.
  std::map<std::string, std::filesystem::path> disabled_;
};

}  // namespace kyr::link
