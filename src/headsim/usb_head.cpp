#include "headsim/usb_head.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <thread>

namespace kyr::headsim {

std::uint32_t SimulatedTime::TickCount() {
  return static_cast<std::uint32_t>(NowMicros() / 1000);  // wraps like a 32-bit tick count
}

void SimulatedTime::Sleep(std::uint32_t milliseconds) {
  if (mode_ == Mode::kManual) {
    manual_.AdvanceMillis(milliseconds);
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
}

std::int64_t SimulatedTime::NowMicros() const {
  return mode_ == Mode::kManual ? manual_.NowMicros() : steady_.NowMicros();
}

void SimulatedTime::SleepMicros(std::int64_t micros) {
  if (mode_ == Mode::kManual) {
    manual_.AdvanceMillis(std::max<std::int64_t>((micros + 999) / 1000, 1));
  } else {
    std::this_thread::sleep_for(std::chrono::microseconds(std::max<std::int64_t>(micros, 1)));
  }
}

// The FTDI device list: the unit, when it is plugged in, enabled and not stuck.
class SimulatedUsbHead::SimBus final : public link::UsbBus {
 public:
  explicit SimBus(SimulatedUsbHead& unit) : unit_(unit) {}
  bool ListDevices(std::vector<link::UsbDeviceInfo>& devices) override {
    devices.clear();
    if (unit_.Listed()) devices.push_back({unit_.options_.serial, unit_.options_.description});
    return true;
  }
  std::unique_ptr<link::ByteChannel> Open(int index) override {
    if (index != 0 || !unit_.Listed()) return nullptr;
    return unit_.Open();
  }

 private:
  SimulatedUsbHead& unit_;
};

// The system's present devices: the unit while it is plugged in, stuck or not.
class SimulatedUsbHead::SimDeviceList final : public link::DeviceManager {
 public:
  explicit SimDeviceList(SimulatedUsbHead& unit) : unit_(unit) {}
  bool ListPresent(std::vector<std::string>& instance_ids) override {
    instance_ids.clear();
    unit_.ReplugWhenDue();
    if (unit_.plugged()) instance_ids.push_back(unit_.InstanceId());
    return true;
  }
  bool SetEnabled(const std::string& instance_id, bool enabled) override {
    unit_.ReplugWhenDue();
    if (!unit_.plugged() || instance_id != unit_.InstanceId()) return false;
    if (!enabled) {
      // Disabling closes every handle on the device.
      unit_.disabled_ = true;
      ++unit_.generation_;
      unit_.channel_open_ = false;
      unit_.engine_->ResetLine();
    } else if (unit_.disabled_) {
      unit_.disabled_ = false;
      unit_.stuck_ = false;  // a driver restart clears the stuck state
      ++unit_.recoveries_;
    }
    return true;
  }

 private:
  SimulatedUsbHead& unit_;
};

// An opened device: reads and writes with the device's time-out, on the shared clock.
class SimulatedUsbHead::SimChannel final : public link::ByteChannel {
 public:
  explicit SimChannel(SimulatedUsbHead& unit) : unit_(unit), generation_(unit.generation_) {}
  ~SimChannel() override { Close(); }

  bool Write(const std::uint8_t* data, std::size_t count, std::size_t& written) override {
    written = 0;
    if (!Usable()) return false;
    if (unit_.transit_) {
      unit_.transit_->HostWrites(data, count, unit_.time_.NowMicros());
      unit_.Pump();
    } else {
      unit_.engine_->Feed(data, count);
    }
    written = count;
    return true;
  }

  bool Read(std::uint8_t* data, std::size_t count, std::size_t& got) override {
    got = 0;
    if (closed_ || unit_.generation_ != generation_) return false;
    const std::int64_t deadline =
        unit_.time_.NowMicros() + static_cast<std::int64_t>(unit_.options_.timeout_ms) * 1000;
    for (;;) {
      // Replies sent before a drop are still delivered; after them the device is gone.
      got += Take(data + got, count - got);
      if (got == count) return true;
      if (!Usable()) return false;
      const std::int64_t now = unit_.time_.NowMicros();
      if (now >= deadline) return true;
      std::int64_t wait = std::min(deadline - now, kSliceMicros);
      if (const auto release = unit_.NextTransitMicros()) wait = std::min(wait, *release - now);
      unit_.time_.SleepMicros(wait);
      if (!KeepWaiting()) return true;  // as a time-out
    }
  }

  std::size_t Drain(std::uint32_t quiet_ms, std::uint32_t limit_ms) override {
    std::size_t discarded = 0;
    std::array<std::uint8_t, 4096> scratch{};
    const std::int64_t start = unit_.time_.NowMicros();
    std::int64_t last_byte = start;
    if (closed_ || unit_.generation_ != generation_) return 0;
    for (;;) {
      std::size_t taken = 0, n = 0;
      while ((n = Take(scratch.data(), scratch.size())) > 0) taken += n;
      discarded += taken;
      const std::int64_t now = unit_.time_.NowMicros();
      if (taken > 0) last_byte = now;
      const std::int64_t quiet_end = last_byte + static_cast<std::int64_t>(quiet_ms) * 1000;
      const std::int64_t limit_end = start + static_cast<std::int64_t>(limit_ms) * 1000;
      if (now >= quiet_end || now >= limit_end || !Usable()) break;
      std::int64_t wake = std::min({quiet_end, limit_end, now + kSliceMicros});
      if (const auto release = unit_.NextTransitMicros()) wake = std::min(wake, *release);
      unit_.time_.SleepMicros(wake - now);
      if (!KeepWaiting()) break;
    }
    return discarded;
  }

  void Close() override {
    if (closed_) return;
    closed_ = true;
    if (unit_.generation_ == generation_) unit_.channel_open_ = false;
  }

 private:
  static constexpr std::int64_t kSliceMicros = std::int64_t{kWaitSliceMs} * 1000;

  // What has reached the tool by now.
  std::size_t Take(std::uint8_t* out, std::size_t max) {
    if (!unit_.transit_) return unit_.engine_->Take(out, max);
    unit_.Pump();
    return unit_.transit_->HostReceives(unit_.time_.NowMicros(), out, max);
  }

  bool Usable() {
    unit_.ReplugWhenDue();
    return !closed_ && unit_.generation_ == generation_ && unit_.plugged() && !unit_.disabled_;
  }

  SimulatedUsbHead& unit_;
  int generation_;
  bool closed_ = false;
};

SimulatedUsbHead::SimulatedUsbHead(const UsbHeadOptions& options, SimulatedTime& time)
    : options_(options),
      time_(time),
      engine_(std::make_unique<Engine>(options.engine, time)),
      transit_(options.timing ? std::optional<UsbTimingModel>(*options.timing) : std::nullopt),
      bus_(std::make_unique<SimBus>(*this)),
      devices_(std::make_unique<SimDeviceList>(*this)),
      stuck_(options.stuck) {}

SimulatedUsbHead::~SimulatedUsbHead() = default;

link::LinkEnvironment SimulatedUsbHead::Environment() {
  link::LinkEnvironment environment;
  environment.usb_bus = bus_.get();
  environment.devices = devices_.get();
  environment.clock = &time_;
  return environment;
}

link::UsbBus& SimulatedUsbHead::Bus() {
  return *bus_;
}
link::DeviceManager& SimulatedUsbHead::Devices() {
  return *devices_;
}

std::string SimulatedUsbHead::InstanceId() const {
  return "USB\\" + options_.vendor_product + "\\" + options_.serial;
}

bool SimulatedUsbHead::plugged() const {
  // A link dropped by the engine (an injected fault) is an unplugged unit.
  return !unplugged_ && !engine_->IsLinkDropped();
}

void SimulatedUsbHead::Unplug() {
  engine_->DropLink();
  unplugged_ = true;
  unplugged_at_ = time_.NowMicros();
  ++generation_;
  channel_open_ = false;
}

void SimulatedUsbHead::Replug() {
  unplugged_ = false;
  ++generation_;  // handles from before the unplug stay dead
  channel_open_ = false;
  engine_->Reconnect();
}

void SimulatedUsbHead::ReplugWhenDue() {
  if (!unplugged_ && engine_->IsLinkDropped()) {
    unplugged_ = true;  // note when the fault struck, for the automatic replug
    unplugged_at_ = time_.NowMicros();
  }
  if (unplugged_ && options_.replug_after_ms >= 0 &&
      time_.NowMicros() - unplugged_at_ >= options_.replug_after_ms * 1000) {
    Replug();
  }
}

void SimulatedUsbHead::Pump() {
  if (!transit_) return;
  const std::int64_t now = time_.NowMicros();
  std::array<std::uint8_t, 4096> bytes{};
  std::size_t n = 0;
  while ((n = transit_->HeadReceives(now, bytes.data(), bytes.size())) > 0) {
    engine_->Feed(bytes.data(), n);
  }
  while ((n = engine_->Take(bytes.data(), bytes.size())) > 0)
    transit_->HeadSends(bytes.data(), n, now);
}

std::optional<std::int64_t> SimulatedUsbHead::NextTransitMicros() const {
  std::optional<std::int64_t> next = engine_->NextReleaseMicros();
  if (transit_) {
    if (const auto at = transit_->NextEventMicros()) next = next ? std::min(*next, *at) : *at;
  }
  return next;
}

bool SimulatedUsbHead::Listed() {
  ReplugWhenDue();
  return plugged() && !stuck_ && !disabled_;
}

std::unique_ptr<link::ByteChannel> SimulatedUsbHead::Open() {
  if (channel_open_) return nullptr;  // one handle at a time, as the driver allows
  channel_open_ = true;
  ++opens_;
  engine_->ResetLine();  // a fresh open starts with empty buffers
  if (transit_) transit_->Reset();
  return std::make_unique<SimChannel>(*this);
}

// The bus of a line: the listed devices of every unit, in unit order; an index opens the
// unit that stands there in the list.
class SimulatedLine::LineBus final : public link::UsbBus {
 public:
  explicit LineBus(SimulatedLine& line) : line_(line) {}
  bool ListDevices(std::vector<link::UsbDeviceInfo>& devices) override {
    devices.clear();
    std::vector<link::UsbDeviceInfo> one;
    for (auto& unit : line_.units_) {
      unit->Bus().ListDevices(one);
      devices.insert(devices.end(), one.begin(), one.end());
    }
    return true;
  }
  std::unique_ptr<link::ByteChannel> Open(int index) override {
    std::vector<link::UsbDeviceInfo> one;
    for (auto& unit : line_.units_) {
      unit->Bus().ListDevices(one);
      if (one.empty()) continue;
      if (index == 0) return unit->Bus().Open(0);
      --index;
    }
    return nullptr;
  }

 private:
  SimulatedLine& line_;
};

class SimulatedLine::LineDevices final : public link::DeviceManager {
 public:
  explicit LineDevices(SimulatedLine& line) : line_(line) {}
  bool ListPresent(std::vector<std::string>& instance_ids) override {
    instance_ids.clear();
    std::vector<std::string> one;
    for (auto& unit : line_.units_) {
      unit->Devices().ListPresent(one);
      instance_ids.insert(instance_ids.end(), one.begin(), one.end());
    }
    return true;
  }
  bool SetEnabled(const std::string& instance_id, bool enabled) override {
    for (auto& unit : line_.units_) {
      if (unit->InstanceId() == instance_id)
        return unit->Devices().SetEnabled(instance_id, enabled);
    }
    return false;
  }

 private:
  SimulatedLine& line_;
};

SimulatedLine::SimulatedLine(const std::vector<UsbHeadOptions>& units, SimulatedTime& time)
    : time_(time),
      bus_(std::make_unique<LineBus>(*this)),
      devices_(std::make_unique<LineDevices>(*this)) {
  for (const UsbHeadOptions& options : units)
    units_.push_back(std::make_unique<SimulatedUsbHead>(options, time));
}

SimulatedLine::~SimulatedLine() = default;

link::LinkEnvironment SimulatedLine::Environment() {
  link::LinkEnvironment environment;
  environment.usb_bus = bus_.get();
  environment.devices = devices_.get();
  environment.clock = &time_;
  return environment;
}

SimulatedUsbHead* SimulatedLine::Find(const std::string& serial) {
  for (auto& unit : units_) {
    if (unit->serial() == serial) return unit.get();
  }
  return nullptr;
}

UsbHeadOptions DefaultUnitOptions(int index) {
  UsbHeadOptions options;
  const std::string number = std::to_string(index + 1);
  options.serial = "KYRD" + std::string(4 - std::min<std::size_t>(number.size(), 4), '0') + number;
  options.replug_after_ms = 2000;
  options.timing = UsbTiming{};  // realistic durations: the USB bus as the tool sets it up
  options.engine.registered_banks = 4;
  options.engine.registered_memory_images = 2;
  return options;
}

SimulatedLine& DefaultSimulatedLine(int units) {
  static SimulatedTime time(SimulatedTime::Mode::kReal);
  static SimulatedLine line(
      [units] {
        std::vector<UsbHeadOptions> options;
        for (int i = 0; i < std::clamp(units, 1, kMaxSimulatedUnits); ++i)
          options.push_back(DefaultUnitOptions(i));
        return options;
      }(),
      time);
  return line;
}

SimulatedUsbHead& DefaultSimulatedHead() {
  return DefaultSimulatedLine().Unit(0);
}

link::LinkEnvironment WithDefaultSimulatedHead(const link::LinkEnvironment& system, int units,
                                               const std::string& device_serial) {
  SimulatedLine& line = DefaultSimulatedLine(units);
  SimulatedUsbHead* unit = line.Find(device_serial);
  link::LinkEnvironment simulated = unit != nullptr ? unit->Environment() : line.Environment();
  simulated.serial_ports = system.serial_ports;
  simulated.let_events_run = system.let_events_run;
  return simulated;
}

}  // namespace kyr::headsim
