#include "line_units.h"

#include <algorithm>

#include "link/discovery.h"

namespace kyr::ridgemo {
namespace {

constexpr std::string_view kEveryUnit = "all";

// The serial numbers of the head units on the USB bus, each once.
std::vector<line::Unit> UsbUnits(const GlobalOptions& options) {
  GlobalOptions any = options;
  any.device.clear();
  const link::LinkEnvironment environment = LinkEnvironmentFor(any);
  std::vector<link::UsbDeviceInfo> list;
  std::vector<line::Unit> units;
  if (environment.usb_bus == nullptr || !environment.usb_bus->ListDevices(list)) return units;
  for (const link::UsbDeviceInfo& info : list) {
    const bool seen = std::any_of(units.begin(), units.end(), [&](const line::Unit& unit) {
      return unit.serial == info.serial;
    });
    if (info.serial.starts_with(link::kKyrSerialPrefix) && !seen)
      units.push_back({"USB", info.serial});
  }
  return units;
}

}  // namespace

bool ChoosesLine(const GlobalOptions& options) {
  return options.device == kEveryUnit || line::IsPortList(options.port);
}

std::string CheckLineOptions(const GlobalOptions& options) {
  if (!line::IsPortList(options.port)) return {};
  if (!options.device.empty() && options.device != kEveryUnit)
    return "--device " + options.device + " picks a USB unit; a list of ports is every port";
  std::string problem;
  static_cast<void>(line::SerialUnits(options.port, problem));
  return problem;
}

std::vector<line::Unit> LineUnits(const GlobalOptions& options) {
  if (!line::IsPortList(options.port)) return UsbUnits(options);
  std::string problem;  // checked when the options were read
  return line::SerialUnits(options.port, problem);
}

GlobalOptions UnitOptions(const GlobalOptions& options, const line::Unit& unit) {
  GlobalOptions own = options;
  own.port = unit.port;
  own.device = unit.serial;
  return own;
}

}  // namespace kyr::ridgemo
