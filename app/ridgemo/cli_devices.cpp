// The devices command: every head unit the system shows, and whether this user may use it.
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli.h"
#include "link/sysfs/sysfs_devices.h"
#include "strings/strings.h"
#include "window/head_units.h"

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

// The serial node while the kernel's driver is bound, with the stable name that survives
// replugs first: "/dev/serial/by-id/usb-... /dev/ttyUSB0"; "-" without a driver.
std::string SerialColumn(const link::HeadUnit& unit) {
  if (unit.tty.empty()) return "-";
  return unit.stable_tty.empty() ? unit.tty : unit.stable_tty + " " + unit.tty;
}

// One head unit for scripts; the serial nodes are null while no kernel driver is bound.
nlohmann::ordered_json UnitJson(std::size_t index, const link::HeadUnit& unit, bool simulated) {
  nlohmann::ordered_json item = {{"index", index},
                                 {"serial", unit.serial},
                                 {"description", unit.description},
                                 {"device", unit.node},
                                 {"access", unit.may_open ? "may-open" : "permission-denied"}};
  if (!simulated) {
    item["bus"] = unit.bus;
    item["address"] = unit.device;
  }
  const auto node_or_null = [](const std::string& node) {
    return node.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(node);
  };
  item["serial_port"] = node_or_null(unit.tty);
  item["stable_serial_port"] = node_or_null(unit.stable_tty);
  return item;
}

}  // namespace

// devices: one tab-separated line per head unit under a header (--json: {"devices": [...]});
// exit status 1 when there is none. With --simulate the built-in unit is the only one.
int RunDevices(CommandContext& ctx) {
  if (!ctx.args.empty()) return UsageError(ctx, "devices");
  const std::vector<link::HeadUnit> units =
      ListedHeadUnits(LinkEnvironmentFor(ctx.options), ctx.options.simulate);
  if (ctx.options.json) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < units.size(); ++i) {
      list.push_back(UnitJson(i, units[i], ctx.options.simulate));
    }
    ctx.out << nlohmann::ordered_json{{"devices", list}}.dump(2) << '\n';
  }
  if (units.empty()) {
    ctx.err << Text(ToolText::kNoUnit) << '\n' << Text(ToolText::kNoUnitHint) << '\n';
    return kExitFailed;
  }
  if (ctx.options.json) return kExitDone;
  ctx.out << Text(ToolText::kDeviceHeader) << '\n';
  for (std::size_t i = 0; i < units.size(); ++i) {
    const link::HeadUnit& unit = units[i];
    ctx.out << i << '\t' << unit.serial << '\t' << unit.description << '\t'
            << (ctx.options.simulate ? unit.node : DeviceColumn(unit)) << '\t'
            << Text(unit.may_open ? ToolText::kMayOpen : ToolText::kAccessDenied) << '\t'
            << SerialColumn(unit) << '\n';
  }
  return kExitDone;
}

}  // namespace kyr::ridgemo
