#pragma once
// The platform as the link needs it: serial ports, the FTDI device list, the system's list of
// present USB devices, the clock and the user's pending window events.
//
// The real back ends (termios, libftdi1, sysfs) and the simulated head both provide these, so
// the same link code runs against hardware, against the simulator and against test fakes.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "link/byte_channel.h"
#include "link/clock.h"

namespace kyr::link {

class TraceLog;

// Opens serial ports by device path (already mapped from the port box text).
class SerialPorts {
 public:
  virtual ~SerialPorts() = default;
  // Opens `path` read-write and exclusively at 115200 8N1; null when that fails.
  virtual std::unique_ptr<ByteChannel> Open(const std::string& path) = 0;
};

// One FTDI-based USB device as the device list shows it.
struct UsbDeviceInfo {
  std::string serial;       // the USB serial number, e.g. "KYRD0001"
  std::string description;  // the product string, e.g. "KYR Vision Sensor"
};

// The FTDI device list and the opening of one of its devices.
class UsbBus {
 public:
  virtual ~UsbBus() = default;
  // Fills `devices` in list order; false when the list cannot be made at all.
  virtual bool ListDevices(std::vector<UsbDeviceInfo>& devices) = 0;
  // Opens the device at `index` of the list with 500 ms read and write time-outs (a read
  // returns what arrived by then); null when that fails.
  virtual std::unique_ptr<ByteChannel> Open(int index) = 0;
};

// The system's list of present USB devices, by instance id "USB\VID_vvvv&PID_pppp\SERIAL"
// (the text after the last backslash is the serial number), and their disabling.
class DeviceManager {
 public:
  virtual ~DeviceManager() = default;
  // Fills `instance_ids` in enumeration order; false when the enumeration cannot start.
  virtual bool ListPresent(std::vector<std::string>& instance_ids) = 0;
  // Disables (false) or re-enables (true) the device; false when that was refused.
  virtual bool SetEnabled(const std::string& instance_id, bool enabled) = 0;
  // Why this user cannot use the present device with `serial` (its node refuses to open),
  // as a message for the user; empty when nothing stands in the way or the device is absent.
  virtual std::string AccessProblem(std::string_view serial) {
    static_cast<void>(serial);
    return {};
  }
};

// Everything OpenLink reaches outside the process. Pointers are not owned; each must outlive
// the links that use it. A null factory behaves as a platform without that transport.
struct LinkEnvironment {
  SerialPorts* serial_ports = nullptr;
  UsbBus* usb_bus = nullptr;
  DeviceManager* devices = nullptr;
  Clock* clock = nullptr;
  // Lets at most `count` queued window events run (the USB open lets ten through before it
  // starts waiting). Empty: nothing to let through.
  std::function<void(int count)> let_events_run;
  // Where every frame is written, for field support; none: no trace.
  TraceLog* trace = nullptr;
  // Receives the trace's notes (opening, discovery, recovery, retries, drains, closing), one
  // line each, as they happen: the command line's -v. Empty: nobody listens.
  std::function<void(std::string_view note)> notes;
  // The head unit chosen by its serial number (--device); empty: the first head unit in the
  // system's device order.
  std::string device_serial;
  // The folder of device nodes whose serial ports are offered (tests point it at a fake tree).
  std::string device_folder = "/dev";
};

}  // namespace kyr::link
