#pragma once
// The head units of a production line as the tools name them. A unit on USB is named by its
// serial number; a unit on a serial port of its own (a real port, or a kyr-headsim pty) has
// no serial number the tool can read, so it is named by its port. The name is the unit's
// folder in a line backup and how every summary speaks of it.
#include <string>
#include <string_view>
#include <vector>

namespace kyr::line {

struct Unit {
  std::string port = "USB";  // "USB", or the serial port's text as the user gave it
  std::string serial{};      // the USB serial number; empty on a serial port
};

// The unit's name, always one folder name: on USB its serial number; on a serial port the
// last part of the port's device path ("COM3" and "/dev/ttyS2" are both "ttyS2",
// "/run/line3/unit7" is "unit7"). Characters other than letters, digits, '-', '_' and '.'
// become '_'; "." and ".." become "_".
std::string UnitName(const Unit& unit);

// True when `port` lists several ports ("P1,P2,...").
bool IsPortList(std::string_view port);

// The units of a port list "P1,P2,..." (one port alone is a list of one), each a serial
// port. `problem` says why the list is refused: an empty entry, a USB entry, or two ports
// that would share a name.
std::vector<Unit> SerialUnits(std::string_view ports, std::string& problem);

}  // namespace kyr::line
