#pragma once
// The simulated head unit as a USB device: an FTDI device list entry, a system device
// list entry and a byte channel over the protocol engine, plugged into the link's
// platform interfaces so that the tool talks to the simulator exactly as to hardware.
//
// Time is shared: the same clock drives the link's waits and the engine. On the manual
// clock a read that waits for a missing reply advances simulated time instead of
// sleeping, so tests of time-outs and late replies run in no time.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "headsim/clock.h"
#include "headsim/engine.h"
#include "headsim/usb_timing.h"
#include "link/byte_channel.h"
#include "link/clock.h"
#include "link/platform.h"

namespace kyr::headsim {

// One time base for the link and the engine.
class SimulatedTime final : public link::Clock, public headsim::Clock {
 public:
  enum class Mode { kReal, kManual };
  explicit SimulatedTime(Mode mode) : mode_(mode) {}

  std::uint32_t TickCount() override;
  void Sleep(std::uint32_t milliseconds) override;
  std::int64_t NowMicros() const override;

  // Waits `micros` (at least one): on real time to the microsecond, so that bytes are
  // taken when they fall due; on manual time the clock moves on by whole milliseconds, as
  // the link's own waits move it.
  void SleepMicros(std::int64_t micros);

  // Manual mode only: moves time on.
  void Advance(std::int64_t micros) { manual_.Advance(micros); }
  Mode mode() const { return mode_; }

 private:
  Mode mode_;
  ManualClock manual_;
  SteadyClock steady_;
};

struct UsbHeadOptions {
  EngineOptions engine;
  std::string serial = "KYRD0001";
  std::string description = "KYR Vision Sensor";
  std::string vendor_product = "VID_0403&PID_6001";  // an FTDI serial converter
  bool stuck = false;  // listed by the system but not by the FTDI list until cycled
  // After a dropped link the unit comes back by itself after this long; negative: only
  // when Replug is called.
  std::int64_t replug_after_ms = -1;
  std::uint32_t timeout_ms = 500;  // read and write time-out of an opened device
  // When set, bytes take the time the head's serial line and the USB bus give them (1 ms
  // frames, 62 data bytes a packet, the latency timer); otherwise they pass at once.
  std::optional<UsbTiming> timing;
};

class SimulatedUsbHead {
 public:
  SimulatedUsbHead(const UsbHeadOptions& options, SimulatedTime& time);
  ~SimulatedUsbHead();
  SimulatedUsbHead(const SimulatedUsbHead&) = delete;
  SimulatedUsbHead& operator=(const SimulatedUsbHead&) = delete;

  // The platform pieces for OpenLink: USB bus, device manager and clock. Serial ports and
  // the window-event callback are left for the caller.
  link::LinkEnvironment Environment();
  link::UsbBus& Bus();
  link::DeviceManager& Devices();

  Engine& engine() { return *engine_; }
  SimulatedTime& time() { return time_; }
  std::string InstanceId() const;
  const std::string& serial() const { return options_.serial; }

  // The unit disappears from both device lists and open channels fail, until replugged.
  void Unplug();
  void Replug();
  bool plugged() const;

  // How often the device was opened, and disabled then enabled again.
  int opens() const { return opens_; }
  int recoveries() const { return recoveries_; }

 private:
  class SimBus;
  class SimDeviceList;
  class SimChannel;
  friend class SimBus;
  friend class SimDeviceList;
  friend class SimChannel;

  void ReplugWhenDue();
  // Moves bytes between the engine and the timing model up to now (nothing without one).
  void Pump();
  // The next time (micros) at which a byte in transit falls due, if any.
  std::optional<std::int64_t> NextTransitMicros() const;
  bool Listed();
  std::unique_ptr<link::ByteChannel> Open();

  UsbHeadOptions options_;
  SimulatedTime& time_;
  std::unique_ptr<Engine> engine_;
  std::optional<UsbTimingModel> transit_;
  std::unique_ptr<SimBus> bus_;
  std::unique_ptr<SimDeviceList> devices_;
  bool unplugged_ = false;
  std::int64_t unplugged_at_ = 0;
  bool stuck_ = false;
  bool disabled_ = false;
  bool channel_open_ = false;
  int generation_ = 0;  // changes at every unplug, so old channels stay dead
  int opens_ = 0;
  int recoveries_ = 0;
};

// Several simulated units on one USB bus and one time base: the device lists show every
// unit in order, and each unit opens and recovers on its own, as units on a hub do.
class SimulatedLine {
 public:
  SimulatedLine(const std::vector<UsbHeadOptions>& units, SimulatedTime& time);
  ~SimulatedLine();
  SimulatedLine(const SimulatedLine&) = delete;
  SimulatedLine& operator=(const SimulatedLine&) = delete;

  // The whole bus, for discovery over every unit.
  link::LinkEnvironment Environment();
  int size() const { return static_cast<int>(units_.size()); }
  SimulatedUsbHead& Unit(int index) { return *units_[index]; }
  // The unit with this serial number, or null.
  SimulatedUsbHead* Find(const std::string& serial);

 private:
  class LineBus;
  class LineDevices;

  SimulatedTime& time_;
  std::vector<std::unique_ptr<SimulatedUsbHead>> units_;
  std::unique_ptr<LineBus> bus_;
  std::unique_ptr<LineDevices> devices_;
};

// The options of unit `index` (from 0) of the tool's simulated line: real time, realistic
// USB timing, its own serial number, some bank and memory images registered, back by
// itself two seconds after a dropped link.
UsbHeadOptions DefaultUnitOptions(int index);

// The line behind the tool's simulate mode. Created on first use with `units` units (1 to
// kMaxSimulatedUnits) and kept until exit; later calls return the same line.
inline constexpr int kMaxSimulatedUnits = 16;
SimulatedLine& DefaultSimulatedLine(int units = 1);
SimulatedUsbHead& DefaultSimulatedHead();  // the line's first unit

// `system` with its USB side (bus, device manager, clock) taken by the default simulated
// line of `units` units: what --simulate runs on. With `device_serial` naming one of its
// units, only that unit is on the bus, so that links to different units share no state
// and can run on threads of their own. Serial ports and the window-event callback stay.
link::LinkEnvironment WithDefaultSimulatedHead(const link::LinkEnvironment& system, int units = 1,
                                               const std::string& device_serial = {});

}  // namespace kyr::headsim
