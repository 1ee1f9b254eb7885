#include "link/system_environment.h"

#include "link/posix/serial_port.h"
#include "link/sysfs/sysfs_devices.h"
#include "link/usb/ftdi_bus.h"

namespace kyr::link {

LinkEnvironment SystemLinkEnvironment() {
  static SystemClock clock;
  static PosixSerialPorts serial_ports;
  static SysfsDevices devices;
  static FtdiBus usb_bus;
  LinkEnvironment environment;
  environment.serial_ports = &serial_ports;
  environment.usb_bus = &usb_bus;
  environment.devices = &devices;
  environment.clock = &clock;
  return environment;
}

}  // namespace kyr::link
