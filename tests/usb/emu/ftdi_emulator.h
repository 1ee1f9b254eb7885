#pragma once
// Emulated FTDI head units on an emulated USB bus (umockdev), for tests that run the real
// libftdi1 and libusb.
//
// umockdev fakes the kernel's side: a sysfs tree and /dev/bus/usb nodes whose usbdevfs
// ioctls are answered here, on umockdev's own thread. Each unit is an FT232R-type chip
// (0403:6001, release 0x0600) with its string descriptors, its vendor requests and the two
// modem-status bytes that start every bulk IN packet; behind the chip sits the simulated head
// engine. The bus also plays the kernel for the "authorized" attribute: writing 0 removes the
// device, writing 1 brings it back.
//
// The process must run with the umockdev preload library active (the test executables link
// it). Only one bus may exist at a time, and a libusb context must be created after the bus
// and destroyed before it, because libusb learns of devices from the bus's uevents.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "headsim/engine.h"

namespace kyr::usb_emu {

struct UnitOptions {
  std::string serial = "KYRD0001";
  std::string description = "KYR Vision Sensor";
  std::string manufacturer = "KYR";
  // The kernel's serial driver (ftdi_sio) binds the interface whenever the unit is plugged
  // in: the interface can be claimed only after the host disconnects the driver, and the
  // host may connect it again.
  bool driver_bound = false;
  headsim::EngineOptions engine;
};

// What the chip has been asked, for tests of the configuration the tool applies.
struct ChipStats {
  int resets = 0;
  int baud_requests = 0;
  int latency_sets = 0;
  int latency_reads = 0;
  int other_vendor_requests = 0;
  int string_reads = 0;
  int out_transfers = 0;       // bulk OUT transfers, one per frame written
  int in_transfers = 0;        // bulk IN transfers completed (with or without data)
  int discarded = 0;           // IN transfers the host gave up on
  int driver_disconnects = 0;  // the bound kernel driver disconnected by the host
  int driver_connects = 0;     // the kernel driver bound again at the host's request
};

class EmulatedBus;

enum class Silence { kNone, kHead, kChip };
enum class Stuck { kNo, kUntilCycled, kForever };

class EmulatedUnit {
 public:
  ~EmulatedUnit();
  EmulatedUnit(const EmulatedUnit&) = delete;
  EmulatedUnit& operator=(const EmulatedUnit&) = delete;

  const std::string& serial() const;
  int bus_number() const;
  int device_number() const;
  // "/dev/bus/usb/BBB/DDD" as the system shows it.
  std::string node() const;
  // The sysfs folder of the device as the system shows it ("/sys/devices/...").
  std::string sysfs_path() const;

  // The engine and its head memories, to prepare and inspect (holds the unit's lock).
  template <typename F>
  auto WithEngine(F&& f) {
    std::lock_guard lock(mutex());
    return f(engine());
  }
  ChipStats Stats();
  int latency_timer();
  bool driver_bound();

  // Faults.
  // Unplugs the unit when the tool writes its `n`-th frame (1-based, counted from now): that
  // frame never reaches the head.
  void UnplugAtFrame(int n);
  void Unplug();
  // Plugs it back in; with a device number, on that address (a new node), as after a real
  // replug.
  void Replug(std::optional<int> new_device_number = std::nullopt);
  bool plugged();
  // kHead: the chip works but the head behind it answers nothing; kChip: the chip sends
  // nothing on its IN pipe at all (not even its status bytes).
  void SetSilent(Silence silence);
  // The node's mode becomes 0444 (read-only) or back to 0664.
  void SetNodeReadOnly(bool read_only);
  // The chip does not answer its string descriptors, as a device that the driver lost:
  // listed by the system, but not in the FTDI list. kUntilCycled: until the unit is cycled
  // through its "authorized" attribute; kForever: cycling does not help.
  void SetStuck(Stuck stuck);
  // How often the unit was disabled and enabled through "authorized".
  int authorized_cycles();

 private:
  friend class EmulatedBus;

  EmulatedUnit(EmulatedBus& bus, const UnitOptions& options, int port);
  std::mutex& mutex();
  headsim::Engine& engine();

 public:
  // The chip and bus internals reach into each other; not for tests.
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

class EmulatedBus {
 public:
  EmulatedBus();
  ~EmulatedBus();
  EmulatedBus(const EmulatedBus&) = delete;
  EmulatedBus& operator=(const EmulatedBus&) = delete;

  // Adds a unit on bus 1 at the next free device number (2, 3, ...).
  EmulatedUnit& Add(const UnitOptions& options = {});
  // The testbed's real folders behind "/sys" and "/dev".
  std::string root_dir() const;

 public:
  // Internals shared with the units; not for tests.
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kyr::usb_emu
