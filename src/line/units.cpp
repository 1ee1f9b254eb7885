#include "line/units.h"

#include <algorithm>
#include <cctype>

#include "link/port_name.h"

namespace kyr::line {
namespace {

std::string FolderName(std::string_view text) {
  std::string name(text);
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '.') c = '_';
  }
  return name.empty() || name == "." || name == ".." ? "_" : name;
}

// The last part of a device path, trailing slashes left out.
std::string_view LastPart(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos || path.size() == 1 ? path : path.substr(slash + 1);
}

}  // namespace

std::string UnitName(const Unit& unit) {
  if (link::TransportForPort(unit.port) == link::LinkMode::Usb) return FolderName(unit.serial);
  return FolderName(LastPart(link::SerialDevicePath(unit.port)));
}

bool IsPortList(std::string_view port) {
  return port.find(',') != std::string_view::npos;
}

std::vector<Unit> SerialUnits(std::string_view ports, std::string& problem) {
  std::vector<Unit> units;
  problem.clear();
  std::size_t start = 0;
  while (start <= ports.size()) {
    const std::size_t comma = std::min(ports.find(',', start), ports.size());
    const std::string_view port = ports.substr(start, comma - start);
    start = comma + 1;
    if (port.empty()) {
      problem = "--port: an empty entry in the list of ports";
    } else if (link::TransportForPort(port) == link::LinkMode::Usb) {
      problem = "--port: " + std::string(port) +
                " means USB, and a list names serial ports only (./" + std::string(port) +
                " is a port of that name; --device all is every unit on USB)";
    }
    if (!problem.empty()) return {};
    Unit unit{std::string(port), {}};
    const std::string name = UnitName(unit);
    for (const Unit& earlier : units) {
      if (UnitName(earlier) != name) continue;
      problem = "--port: " + earlier.port + " and " + unit.port + " would both be unit " + name;
      return {};
    }
    units.push_back(std::move(unit));
  }
  return units;
}

}  // namespace kyr::line
