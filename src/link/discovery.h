#pragma once
// Finding the head among the USB devices, waiting for the FTDI list to show it, and reviving
// a device the driver has lost by disabling and re-enabling it.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "link/platform.h"
#include "link/result_codes.h"

namespace kyr::link {

// Description of a head in the FTDI device list, compared exactly.
inline constexpr std::string_view kKyrDescription = "KYR Vision Sensor";
// A head's USB serial number begins with this, case-sensitively.
inline constexpr std::string_view kKyrSerialPrefix = "KYRD";
// Waits of the USB open: before recovery, and after it.
inline constexpr std::uint32_t kFirstWaitMs = 300;
inline constexpr std::uint32_t kRecoveryWaitMs = 10000;
// Window events let through before the USB open starts.
inline constexpr int kEventsBeforeUsbOpen = 10;

// Text after the last backslash of an instance id; empty when it has no backslash.
std::string_view SerialOfInstance(std::string_view instance_id);

// Serial of the first present device whose serial begins with "KYRD", or empty.
std::string FirstKyrDevice(DeviceManager& devices);

// Index in the FTDI list of the head with that serial and the KYR description, or -1.
int FindDeviceIndex(UsbBus& bus, std::string_view serial);

// Polls FindDeviceIndex every millisecond until it finds the head or `milliseconds` passed;
// the index or -1.
int WaitForDevice(UsbBus& bus, Clock& clock, std::string_view serial, std::uint32_t milliseconds);

// Disables and re-enables the first present device with that serial; true when one matched.
// Refusals (no permission) are silent: the wait that follows decides.
bool RecoverDevice(DeviceManager& devices, std::string_view serial);

// The USB branch of OpenLink: finds the head (filling `device_serial` when empty: the unit
// the environment names, else the first head unit), waits for it, recovers it when needed
// and opens it. kOk with `channel` set and its FTDI index in `index`, or kNoKyrDevice (no
// KYRD device present), kNotListed (not listed in time; at once for a named unit that is not
// present), kOpenFailed (the open failed). A unit whose node this user may not open fails
// with kOpenFailed at once, without the waits, and `detail` (when given) receives the reason
// and the remedy.
[[nodiscard]] LinkResult OpenUsbDevice(const LinkEnvironment& environment,
                                       std::string& device_serial,
                                       std::unique_ptr<ByteChannel>& channel, int& index,
                                       std::string* detail = nullptr);

}  // namespace kyr::link
