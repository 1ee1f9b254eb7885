// The devices command: every head unit the system shows, and whether this user may use it.
#include <ostream>
#include <string>
#include <vector>

#include "cli.h"
#include "link/sysfs/sysfs_devices.h"
#include "strings/strings.h"

namespace kyr::ridgemo {
namespace {

std::string Text(ToolText id) {
  return std::string(LoadString(id));
}

// "001/002 /dev/bus/usb/001/002"
std::string DeviceColumn(const link::HeadUnit& unit) {
  const std::string bus = std::to_string(1000 + unit.bus).substr(1);
  const std::string device = std::to_string(1000 + unit.device).substr(1);
  return bus + "/" + device + " " + unit.node;
}

}  // namespace

// devices: one tab-separated line per head unit under a header; exit status 1 when there is
// none. With --simulate the built-in unit is the only one.
int RunDevices(CommandContext& ctx) {
  if (!ctx.args.empty()) return UsageError(ctx, "devices");
  std::vector<link::HeadUnit> units;
  if (ctx.options.simulate) {
    link::LinkEnvironment environment = LinkEnvironmentFor(ctx.options);
    std::vector<link::UsbDeviceInfo> list;
    if (environment.usb_bus != nullptr && environment.usb_bus->ListDevices(list)) {
      for (const auto& info : list) {
        units.push_back({info.serial, info.description, 0, 0, "(simulated)", true});
      }
    }
  } else {
    units = link::ListHeadUnits();
  }
  if (units.empty()) {
    ctx.err << Text(ToolText::kNoUnit) << '\n';
    return kExitFailed;
  }
  ctx.out << Text(ToolText::kDeviceHeader) << '\n';
  for (std::size_t i = 0; i < units.size(); ++i) {
    const link::HeadUnit& unit = units[i];
    ctx.out << i << '\t' << unit.serial << '\t' << unit.description << '\t'
            << (ctx.options.simulate ? unit.node : DeviceColumn(unit)) << '\t'
            << Text(unit.may_open ? ToolText::kMayOpen : ToolText::kAccessDenied) << '\n';
  }
  return kExitDone;
}

}  // namespace kyr::ridgemo
