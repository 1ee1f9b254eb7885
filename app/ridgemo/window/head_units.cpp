#include "window/head_units.h"

namespace kyr::ridgemo {

std::vector<link::HeadUnit> ListedHeadUnits(const link::LinkEnvironment& environment,
                                            bool simulated) {
  if (!simulated) return link::ListHeadUnits();
  std::vector<link::HeadUnit> units;
  std::vector<link::UsbDeviceInfo> list;
  if (environment.usb_bus == nullptr || !environment.usb_bus->ListDevices(list)) return units;
  for (const link::UsbDeviceInfo& info : list) {
    link::HeadUnit unit;
    unit.serial = info.serial;
    unit.description = info.description;
    unit.node = "(simulated)";
    unit.may_open = true;
    units.push_back(std::move(unit));
  }
  return units;
}

}  // namespace kyr::ridgemo
