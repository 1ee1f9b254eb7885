#pragma once
// Serial devices offered in the port box besides "USB" and "COM1" to "COM9".
#include <string>
#include <vector>

namespace kyr::ridgemo {

// The stable names in `folder`/serial/by-id, which stay the same across replugs, then the
// full paths of the ttyS*, ttyUSB* and ttyACM* devices in `folder`, in natural order (ttyS2
// before ttyS10). ttyS0 to ttyS8 are left out: COM1 to COM9 already name them.
std::vector<std::string> FindSerialDevices(const std::string& folder);

}  // namespace kyr::ridgemo
