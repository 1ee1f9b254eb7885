#include "link/discovery.h"

#include <algorithm>
#include <string>
#include <vector>

#include "link/trace.h"

namespace kyr::link {

std::string_view SerialOfInstance(std::string_view instance_id) {
  const auto slash = instance_id.rfind('\\');
  if (slash == std::string_view::npos) return {};
  return instance_id.substr(slash + 1);
}

namespace {

bool HasBackslash(std::string_view id) {
  return id.find('\\') != std::string_view::npos;
}

// Serial of the first present head, or empty; false when the enumeration cannot start.
bool FindFirstKyr(DeviceManager& devices, std::string& serial) {
  std::vector<std::string> ids;
  if (!devices.ListPresent(ids)) return false;
  for (const auto& id : ids) {
    const std::string_view last = SerialOfInstance(id);
    if (HasBackslash(id) && last.starts_with(kKyrSerialPrefix)) {
      serial = std::string(last);
      return true;
    }
  }
  return true;
}

// Signed distance so that the deadline test survives the wrap of the 32-bit tick count.
bool Reached(std::uint32_t now, std::uint32_t deadline) {
  return static_cast<std::int32_t>(now - deadline) >= 0;
}

}  // namespace

std::string FirstKyrDevice(DeviceManager& devices) {
  std::string serial;
  FindFirstKyr(devices, serial);
  return serial;
}

int FindDeviceIndex(UsbBus& bus, std::string_view serial) {
  std::vector<UsbDeviceInfo> list;
  if (!bus.ListDevices(list)) return -1;
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list[i].description == kKyrDescription && list[i].serial == serial) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

int WaitForDevice(UsbBus& bus, Clock& clock, std::string_view serial, std::uint32_t milliseconds) {
  const std::uint32_t deadline = clock.TickCount() + milliseconds;
  int index = -1;
  do {
    if (Reached(clock.TickCount(), deadline)) break;
    index = FindDeviceIndex(bus, serial);
    clock.Sleep(1);
  } while (index < 0);
  return index;
}

bool RecoverDevice(DeviceManager& devices, std::string_view serial) {
  std::vector<std::string> ids;
  if (!devices.ListPresent(ids)) return false;
  for (const auto& id : ids) {
    if (!HasBackslash(id) || SerialOfInstance(id) != serial) continue;
    // Refusals are not reported: the wait after recovery decides whether the head is back.
    devices.SetEnabled(id, false);
    devices.SetEnabled(id, true);
    return true;
  }
  return false;
}

// True when a device with that serial is present in the system's list.
bool IsPresent(DeviceManager& devices, std::string_view serial) {
  std::vector<std::string> ids;
  if (!devices.ListPresent(ids)) return false;
  return std::any_of(ids.begin(), ids.end(), [serial](const std::string& id) {
    return HasBackslash(id) && SerialOfInstance(id) == serial;
  });
}

// A discovery step for the trace and the notes' listener.
void Note(const LinkEnvironment& environment, const std::string& note) {
  if (environment.trace != nullptr) environment.trace->Note(note);
  if (environment.notes) environment.notes(note);
}

LinkResult OpenUsbDevice(const LinkEnvironment& environment, std::string& device_serial,
                         std::unique_ptr<ByteChannel>& channel, int& index, std::string* detail) {
  channel.reset();
  index = -1;
  if (detail != nullptr) detail->clear();
  if (environment.let_events_run) environment.let_events_run(kEventsBeforeUsbOpen);
  if (environment.devices == nullptr || environment.usb_bus == nullptr)
    return LinkResult::kNoKyrDevice;
  DeviceManager& devices = *environment.devices;
  UsbBus& bus = *environment.usb_bus;
  SystemClock system_clock;
  Clock& clock = environment.clock != nullptr ? *environment.clock : system_clock;

  const bool chosen = !environment.device_serial.empty();
  if (device_serial.empty()) {
    device_serial = chosen ? environment.device_serial : FirstKyrDevice(devices);
  }
  if (device_serial.empty()) return LinkResult::kNoKyrDevice;
  // A chosen unit that is not plugged in cannot appear by waiting for another one.
  if (chosen && !IsPresent(devices, device_serial)) return LinkResult::kNotListed;
  // The FTDI list cannot show a device whose node this user may not open: waiting for it
  // would end in "not connected", which sends the user looking in the wrong place.
  if (std::string problem = devices.AccessProblem(device_serial); !problem.empty()) {
    if (detail != nullptr) *detail = std::move(problem);
    return LinkResult::kOpenFailed;
  }

  Note(environment, "USB unit " + device_serial + (chosen ? " (--device)" : " (the first listed)"));
  index = WaitForDevice(bus, clock, device_serial, kFirstWaitMs);
  if (index < 0) {
    Note(environment, "USB unit " + device_serial + " is not in the FTDI list after " +
                          std::to_string(kFirstWaitMs) + " ms: disabling and enabling it");
    const bool recovered = RecoverDevice(devices, device_serial);
    index = WaitForDevice(bus, clock, device_serial, kRecoveryWaitMs);
    Note(environment, "USB unit " + device_serial +
                          (index >= 0  ? " is back in the FTDI list"
                           : recovered ? " did not come back within " +
                                             std::to_string(kRecoveryWaitMs / 1000) + " s"
                                       : " was not found in the system's device list"));
    if (index < 0) return LinkResult::kNotListed;
  }
  // The system list is read once more; a head unit that vanished meanwhile fails here.
  std::string first;
  if (!FindFirstKyr(devices, first)) return LinkResult::kNotListed;
  if (!first.empty() && !chosen) device_serial = first;

  channel = bus.Open(index);
  if (!channel) return LinkResult::kOpenFailed;
  return LinkResult::kOk;
}

}  // namespace kyr::link
