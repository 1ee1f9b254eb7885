#include "link/port_name.h"

namespace kyr::link {

LinkMode TransportForPort(std::string_view port_name) {
  if (port_name.empty() || port_name[0] == 'U' || port_name[0] == 'u') return LinkMode::Usb;
  return LinkMode::Serial;
}

namespace {

bool IsComOneToNine(std::string_view name) {
  auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
  return name.size() == 4 && upper(name[0]) == 'C' && upper(name[1]) == 'O' &&
         upper(name[2]) == 'M' && name[3] >= '1' && name[3] <= '9';
}

}  // namespace

std::string SerialDevicePath(std::string_view port_name) {
  if (IsComOneToNine(port_name)) {
    return std::string("/dev/ttyS") + static_cast<char>(port_name[3] - 1);
  }
  return std::string(port_name);
}

}  // namespace kyr::link
