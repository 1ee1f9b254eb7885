#include <gtest/gtest.h>

#include "link/discovery.h"
#include "link/link.h"
#include "link/sysfs/sysfs_devices.h"
#include "link_fakes.h"

namespace kyr::link {
namespace {

using namespace testing;
using enum LinkResult;

TEST(SysfsDevices, InstanceIdsFromTheTree) {
  FakeSysfs sys;
  sys.AddDevice("1-2", "0403", "6001", "KYRD0002");
  sys.AddDevice("1-1", "abcd", "00ef", "KYRD0001");
  sys.AddDevice("usb1", "1d6b", "0002", "0000:00:14.0");
  sys.AddDevice("1-3", "046d", "c52b", "");                   // no serial file: not listed
  sys.AddDevice("1-0", "0403", "6001", "kyrd0003");           // the prefix is case-sensitive
  std::filesystem::create_directories(sys.root / "1-1:1.0");  // an interface, not a device

  SysfsDevices devices(sys.root.string());
  std::vector<std::string> ids;
  ASSERT_TRUE(devices.ListPresent(ids));
  EXPECT_EQ(ids, (std::vector<std::string>{
                     "USB\\VID_0403&PID_6001\\kyrd0003", "USB\\VID_ABCD&PID_00EF\\KYRD0001",
                     "USB\\VID_0403&PID_6001\\KYRD0002", "USB\\VID_1D6B&PID_0002\\0000:00:14.0"}));
  EXPECT_EQ(FirstKyrDevice(devices), "KYRD0001");  // first in enumeration order

  EXPECT_TRUE(devices.SetEnabled(ids[2], false));
  EXPECT_EQ(FakeSysfs::Read(sys.root / "1-2" / "authorized"), "0");
  // Some kernels blank the strings of an unauthorized device; it is enabled all the same.
  FakeSysfs::Write(sys.root / "1-2" / "serial", "n/a (unauthorized)\n");
  EXPECT_TRUE(devices.SetEnabled(ids[2], true));
  EXPECT_EQ(FakeSysfs::Read(sys.root / "1-2" / "authorized"), "1");
  EXPECT_FALSE(devices.SetEnabled("USB\\VID_0403&PID_6001\\NOPE", false));

  SysfsDevices missing((sys.root / "absent").string());
  EXPECT_FALSE(missing.ListPresent(ids));
  EXPECT_EQ(FirstKyrDevice(missing), "");
}

// Units with the kernel's serial driver bound show their tty, and its stable by-id name
// when udev made one; a unit without the driver shows neither.
TEST(SysfsDevices, HeadUnitsWithTheirSerialNodes) {
  FakeSysfs sys;
  const auto dev = sys.root / "dev";
  const std::string by_id = "usb-KYR_KYR_Vision_Sensor_KYRD0001-if00-port0";
  std::filesystem::create_directories(sys.root / "1-1" / "1-1:1.0" / "ttyUSB3" / "tty");
  sys.AddDevice("1-1", "0403", "6001", "KYRD0001");
  sys.AddDevice("1-2", "0403", "6001", "KYRD0002");  // no driver bound
  std::filesystem::create_directories(sys.root / "1-2" / "1-2:1.0");
  std::filesystem::create_directories(dev / "serial" / "by-id");
  std::filesystem::create_symlink("../../ttyUSB3", dev / "serial" / "by-id" / by_id);
  std::filesystem::create_symlink("../../ttyACM0", dev / "serial" / "by-id" / "usb-Other-if00");

  const auto units = ListHeadUnits((sys.root).string(), dev.string());
  ASSERT_EQ(units.size(), 2u);
  EXPECT_EQ(units[0].tty, (dev / "ttyUSB3").string());
  EXPECT_EQ(units[0].stable_tty, (dev / "serial" / "by-id" / by_id).string());
  EXPECT_EQ(units[1].tty, "");
  EXPECT_EQ(units[1].stable_tty, "");
  EXPECT_EQ(StableSerialNames(dev.string()).size(), 2u);
}

TEST(FtdiList, DescriptionAndSerialMustMatchExactly) {
  FakeUsbBus bus;
  bus.devices = {{"KYRD0001", "KYR Vision Sensor2"},
                 {"KYRD0001", "KYR Vision Senso"},
                 {"KYRD00011", "KYR Vision Sensor"},
                 {"FT123456", "FT232R USB UART"},
                 {"KYRD0001", "KYR Vision Sensor"}};
  EXPECT_EQ(FindDeviceIndex(bus, "KYRD0001"), 4);
  EXPECT_EQ(FindDeviceIndex(bus, "KYRD000"), -1);
  EXPECT_EQ(FindDeviceIndex(bus, "KYRD0002"), -1);
}

TEST(WaitForDevice, PollsEveryMillisecondUntilTheDeadlineEvenAcrossTheTickWrap) {
  FakeUsbBus bus;
  bus.devices = {{"KYRD0001", "KYR Vision Sensor"}};
  bus.hidden_serial = "KYRD0001";
  FakeClock clock(0xFFFFFF00u);  // the 32-bit tick count wraps during the wait
  EXPECT_EQ(WaitForDevice(bus, clock, "KYRD0001", 300), -1);
  EXPECT_GE(clock.slept, 300u);
  EXPECT_LE(clock.slept, 301u);
  EXPECT_EQ(bus.list_calls, 300);

  bus.hidden_serial.clear();
  bus.list_calls = 0;
  EXPECT_EQ(WaitForDevice(bus, clock, "KYRD0001", 300), 0);
  EXPECT_EQ(bus.list_calls, 1);
}

// A USB environment over a fake sysfs tree, a fake FTDI list and a fake clock.
struct UsbRig {
  FakeSysfs sys;
  SysfsDevices sysfs{sys.root.string()};
  RecordingDevices devices{sysfs};
  FakeUsbBus bus;
  FakeClock clock;
  int events_let_through = 0;

  LinkEnvironment Environment() {
    LinkEnvironment e;
    e.usb_bus = &bus;
    e.devices = &devices;
    e.clock = &clock;
    e.let_events_run = [this](int count) { events_let_through += count; };
    return e;
  }
  void AddHead(const std::string& folder, const std::string& serial) {
    sys.AddDevice(folder, "0403", "6001", serial);
    bus.devices.push_back({serial, std::string(kKyrDescription)});
  }
};

TEST(OpenUsb, AbsentListedAndStuckHeads) {
  {  // no KYRD device: -100 at once, after letting ten events through
    UsbRig rig;
    rig.sys.AddDevice("1-1", "046d", "c52b", "ABC");
    Link link(rig.Environment());
    EXPECT_EQ(link.OpenLink("USB", false), kNoKyrDevice);
    EXPECT_EQ(rig.clock.slept, 0u);
    EXPECT_EQ(rig.bus.list_calls, 0);
    EXPECT_EQ(rig.events_let_through, kEventsBeforeUsbOpen);
    EXPECT_EQ(link.Mode(), LinkMode::None);
    EXPECT_FALSE(link.IsOpen());
  }
  {  // listed at once: its index, no recovery
    UsbRig rig;
    rig.bus.devices.push_back({"FT999", "FT232R USB UART"});
    rig.AddHead("1-4", "KYRD0007");
    Link link(rig.Environment());
    EXPECT_EQ(link.OpenLink("usb", false), kOk);
    EXPECT_EQ(link.DeviceIndex(), 1);
    EXPECT_EQ(rig.bus.opened, (std::vector<int>{1}));
    EXPECT_TRUE(rig.devices.changes.empty());
    EXPECT_LE(rig.clock.slept, 1u);
    EXPECT_EQ(link.Mode(), LinkMode::Usb);
    EXPECT_EQ(link.DeviceSerial(), "KYRD0007");
  }
  {  // stuck in the driver until re-enabled: one disable then enable, then found
    UsbRig rig;
    rig.AddHead("1-1", "KYRD0001");
    rig.bus.hidden_serial = "KYRD0001";
    rig.devices.on_enable = [&rig] { rig.bus.hidden_serial.clear(); };
    Link link(rig.Environment());
    EXPECT_EQ(link.OpenLink("U", false), kOk);
    EXPECT_EQ(link.DeviceIndex(), 0);
    const std::string id = "USB\\VID_0403&PID_6001\\KYRD0001";
    EXPECT_EQ(rig.devices.changes,
              (std::vector<std::pair<std::string, bool>>{{id, false}, {id, true}}));
    EXPECT_EQ(FakeSysfs::Read(rig.sys.root / "1-1" / "authorized"), "1");
    EXPECT_GE(rig.clock.slept, kFirstWaitMs);
    EXPECT_LT(rig.clock.slept, kFirstWaitMs + 10);
  }
  {  // never comes back: -1 after 300 ms plus 10 s, recovery tried once
    UsbRig rig;
    rig.AddHead("1-1", "KYRD0001");
    rig.bus.hidden_serial = "KYRD0001";
    Link link(rig.Environment());
    EXPECT_EQ(link.OpenLink("", true), kNotListed);
    EXPECT_EQ(rig.devices.changes.size(), 2u);
    EXPECT_GE(rig.clock.slept, kFirstWaitMs + kRecoveryWaitMs);
    EXPECT_LE(rig.clock.slept, kFirstWaitMs + kRecoveryWaitMs + 2);
    EXPECT_TRUE(rig.bus.opened.empty());
    EXPECT_EQ(link.Mode(), LinkMode::None);
    EXPECT_TRUE(rig.bus.script->writes.empty());  // no handshake without a device
  }
}

TEST(OpenUsb, FirstUnitInEnumerationOrderOpenFailureAndHandshake) {
  {
    UsbRig rig;
    rig.AddHead("2-1", "KYRD0002");
    rig.AddHead("1-1", "KYRD0001");  // earlier in the system's order, later in the FTDI list
    Link link(rig.Environment());
    EXPECT_EQ(link.OpenLink("USB", false), kOk);
    EXPECT_EQ(link.DeviceIndex(), 1);
    EXPECT_EQ(link.DeviceSerial(), "KYRD0001");
  }
  {
    UsbRig rig;
    rig.AddHead("1-1", "KYRD0001");
    rig.bus.refuse_open = true;
    Link link(rig.Environment());
    EXPECT_EQ(link.OpenLink("USB", true), kOpenFailed);
    EXPECT_EQ(link.Mode(), LinkMode::None);
  }
  {
    UsbRig rig;
    rig.AddHead("1-1", "KYRD0001");
    rig.bus.script->Queue({0x8C, 0x73});
    Link link(rig.Environment());
    EXPECT_EQ(link.OpenLink("USB", true), kOk);
    EXPECT_EQ(rig.bus.script->Written(), (Bytes{0x55, 0x8C}));
  }
}

TEST(PortNames, ChooseTheTransportAndTheDevicePath) {
  for (const char* usb : {"USB", "usb", "U", "u", ""}) {
    EXPECT_EQ(TransportForPort(usb), LinkMode::Usb) << usb;
  }
  for (const char* serial : {"COM3", "/dev/ttyUSB0", " USB"}) {
    EXPECT_EQ(TransportForPort(serial), LinkMode::Serial) << serial;
  }
  EXPECT_EQ(SerialDevicePath("COM1"), "/dev/ttyS0");
  EXPECT_EQ(SerialDevicePath("COM9"), "/dev/ttyS8");
  EXPECT_EQ(SerialDevicePath("com3"), "/dev/ttyS2");
  EXPECT_EQ(SerialDevicePath("COM10"), "COM10");
  const std::string long_path = "/tmp/some/rather/long/folder/kyr-headsim-pty-link";
  EXPECT_EQ(SerialDevicePath(long_path), long_path);
}

TEST(OpenSerial, NoHandshakeAndFailedOpens) {
  FakeSerialPorts ports;
  LinkEnvironment environment;
  environment.serial_ports = &ports;
  Link link(environment);
  EXPECT_EQ(link.OpenLink("COM3", true), kOk);
  EXPECT_EQ(ports.opened, (std::vector<std::string>{"/dev/ttyS2"}));
  EXPECT_EQ(link.Mode(), LinkMode::Serial);
  EXPECT_TRUE(ports.script->writes.empty());  // no handshake over serial

  // Opening again closes the link still open instead of leaking it.
  auto first = ports.script;
  ports.script = std::make_shared<ChannelScript>();
  EXPECT_EQ(link.OpenLink("/dev/pts/7", false), kOk);
  EXPECT_TRUE(first->closed);
  EXPECT_EQ(link.CloseLink(true), kOk);

  ports.refuse = true;
  EXPECT_EQ(link.OpenLink("/dev/ttyUSB0", false), kOpenFailed);
  EXPECT_EQ(link.Mode(), LinkMode::Serial);  // until the caller closes it
  std::size_t n = 0;
  std::uint8_t byte = 0;
  EXPECT_FALSE(link.WriteRaw(&byte, 1, n));
  EXPECT_EQ(link.CloseLink(true), kOk);
  EXPECT_EQ(link.Mode(), LinkMode::None);

  Link no_ports{LinkEnvironment{}};
  EXPECT_EQ(no_ports.OpenLink("COM1", false), kOpenFailed);
  EXPECT_EQ(no_ports.OpenLink("USB", false), kNoKyrDevice);
  EXPECT_EQ(no_ports.Mode(), LinkMode::None);  // not left on serial by the failed open before
}

TEST(CloseLink, EveryMode) {
  std::size_t n = 0;
  std::uint8_t byte = 0;
  {  // nothing open
    Link link{LinkEnvironment{}};
    EXPECT_EQ(link.CloseLink(true), kOk);
    EXPECT_FALSE(link.WriteRaw(&byte, 1, n));
    EXPECT_FALSE(link.ReadRaw(&byte, 1, n));
    EXPECT_EQ(n, 0u);
  }
  {  // serial: no closing frame even when asked
    FakeSerialPorts ports;
    LinkEnvironment environment;
    environment.serial_ports = &ports;
    Link link(environment);
    ASSERT_EQ(link.OpenLink("COM1", false), kOk);
    EXPECT_EQ(link.CloseLink(true), kOk);
    EXPECT_TRUE(ports.script->writes.empty());
    EXPECT_TRUE(ports.script->closed);
    EXPECT_EQ(link.Mode(), LinkMode::None);
    EXPECT_FALSE(link.WriteRaw(&byte, 1, n));
  }
  struct UsbCase {
    bool closing, fail_write;
    std::size_t limit;
    LinkResult expected;
    std::size_t frames;
  };
  for (const UsbCase c :
       {UsbCase{true, false, SIZE_MAX, kOk, 1}, UsbCase{false, false, SIZE_MAX, kOk, 0},
        UsbCase{true, true, SIZE_MAX, kWriteFailed, 0},
        UsbCase{true, false, 4, kWritePartial, 1}}) {
    UsbRig rig;
    rig.AddHead("1-1", "KYRD0001");
    Link link(rig.Environment());
    ASSERT_EQ(link.OpenLink("USB", false), kOk);
    rig.bus.script->fail_write = c.fail_write;
    rig.bus.script->write_limit = c.limit;
    EXPECT_EQ(link.CloseLink(c.closing), c.expected);
    EXPECT_EQ(rig.bus.script->writes.size(), c.frames);
    if (c.expected == kOk && c.frames == 1) {
      EXPECT_EQ(rig.bus.script->writes[0], (Bytes{0xFE, 0x8C, 0x73, 0, 0, 0, 0x02}));
    }
    EXPECT_TRUE(rig.bus.script->closed);
    EXPECT_EQ(link.Mode(), LinkMode::None);
    EXPECT_EQ(link.DeviceSerial(), "");
  }
}

}  // namespace
}  // namespace kyr::link
