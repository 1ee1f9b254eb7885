#pragma once
// How the port box text chooses the transport.
#include <string>
#include <string_view>

namespace kyr::link {

enum class LinkMode { None = 0, Usb = 1, Serial = 2 };

// USB for an empty text or one beginning with "U"/"u"; serial for anything else.
LinkMode TransportForPort(std::string_view port_name);

// Device path of a serial port text: "COM1" to "COM9" (any letter case) name /dev/ttyS0 to
// /dev/ttyS8; any other text is already a path and is used as it is, whatever its length.
std::string SerialDevicePath(std::string_view port_name);

}  // namespace kyr::link
