#pragma once
// Present USB devices from sysfs, and their disabling through the "authorized" attribute.
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "link/platform.h"

namespace kyr::link {

inline constexpr const char* kSysfsUsbDevices = "/sys/bus/usb/devices";
inline constexpr const char* kDeviceFolder = "/dev";

// Every directory under `root` with idVendor, idProduct and serial files is a present device
// with the instance id "USB\VID_vvvv&PID_pppp\SERIAL" (hex digits in upper case). Directories
// are taken in name order. Tests point `root` at a fake tree.
class SysfsDevices final : public DeviceManager {
 public:
  explicit SysfsDevices(std::string root = kSysfsUsbDevices) : root_(std::move(root)) {}

  bool ListPresent(std::vector<std::string>& instance_ids) override;
  // Writes "0" or "1" to the device's authorized file; false without permission.
  bool SetEnabled(const std::string& instance_id, bool enabled) override;
  // The head unit's node that this user may not open, the udev rule that grants access and
  // the commands that install it.
  std::string AccessProblem(std::string_view serial) override;

 private:
  std::string root_;
  // Folders of the devices this object disabled: some kernels blank the serial number of an
  // unauthorized device, and the device must still be found to enable it again.
  std::map<std::string, std::filesystem::path> disabled_;
  std::mutex mutex_;  // of disabled_: units recovered on threads of their own
};

// A head unit as the system lists it.
struct HeadUnit {
  std::string serial;
  std::string description;  // the product string
  int bus = 0;
  int device = 0;
  std::string node;       // "/dev/bus/usb/BBB/DDD"
  bool may_open = false;  // this user may open the node for reading and writing
  // While the kernel's serial driver is bound: the serial node ("/dev/ttyUSB0") and its
  // stable name under /dev/serial/by-id (empty when udev made none).
  std::string tty;
  std::string stable_tty;
};

// Every present device whose serial number begins with "KYRD", in the order ListPresent
// gives (the order in which discovery picks the first). Serial nodes are looked up in
// `dev` (tests point both at fake trees).
std::vector<HeadUnit> ListHeadUnits(const std::string& root = kSysfsUsbDevices,
                                    const std::string& dev = kDeviceFolder);

// The links in `dev`/serial/by-id, in name order, each with the node it points to
// ("/dev/serial/by-id/usb-...-port0" and "/dev/ttyUSB0"; paths under `dev`).
std::vector<std::pair<std::string, std::string>> StableSerialNames(
    const std::string& dev = kDeviceFolder);

// The permission message for a unit whose node this user may not open.
std::string AccessProblemText(const HeadUnit& unit);

}  // namespace kyr::link
