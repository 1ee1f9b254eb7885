#pragma once
// Scripted stand-ins for the platform: a byte channel, serial ports, an FTDI list, a clock.
#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include "link/platform.h"

namespace kyr::link::testing {

using Bytes = std::vector<std::uint8_t>;

// What a fake channel saw and what it will answer; shared so tests keep it after the link
// took the channel.
struct ChannelScript {
  std::deque<std::uint8_t> incoming;  // bytes ready to be read
  Bytes late;                         // bytes that arrive only after the next read gave up
  bool fail_write = false;
  std::size_t good_reads = SIZE_MAX;   // reads that succeed before the transport fails
  std::size_t write_limit = SIZE_MAX;  // most bytes a write takes before "timing out"
  std::vector<Bytes> writes;
  std::vector<std::size_t> read_requests;
  int drains = 0;
  bool closed = false;

  void Queue(const Bytes& bytes) { incoming.insert(incoming.end(), bytes.begin(), bytes.end()); }
  Bytes Written() const {
    Bytes all;
    for (const auto& w : writes) all.insert(all.end(), w.begin(), w.end());
    return all;
  }
};

class FakeChannel final : public ByteChannel {
 public:
  explicit FakeChannel(std::shared_ptr<ChannelScript> script) : s_(std::move(script)) {}

  bool Write(const std::uint8_t* data, std::size_t count, std::size_t& written) override {
    written = 0;
    ArriveLate();
    if (s_->closed || s_->fail_write) return false;
    written = std::min(count, s_->write_limit);
    s_->writes.emplace_back(data, data + written);
    return true;
  }

  bool Read(std::uint8_t* data, std::size_t count, std::size_t& got) override {
    got = 0;
    s_->read_requests.push_back(count);
    if (s_->closed || s_->read_requests.size() > s_->good_reads) return false;
    while (got < count && !s_->incoming.empty()) {
      data[got++] = s_->incoming.front();
      s_->incoming.pop_front();
    }
    return true;
  }

  std::size_t Drain(std::uint32_t, std::uint32_t) override {
    ++s_->drains;
    ArriveLate();
    const std::size_t n = s_->incoming.size();
    s_->incoming.clear();
    return n;
  }

  void Close() override { s_->closed = true; }

 private:
  // Late bytes land while the tool is busy between a failed read and its next action.
  void ArriveLate() {
    s_->Queue(s_->late);
    s_->late.clear();
  }

  std::shared_ptr<ChannelScript> s_;
};

// Serial ports: every path opens onto the same script, unless `refuse` is set.
class FakeSerialPorts final : public SerialPorts {
 public:
  std::shared_ptr<ChannelScript> script = std::make_shared<ChannelScript>();
  std::vector<std::string> opened;
  bool refuse = false;

  std::unique_ptr<ByteChannel> Open(const std::string& path) override {
    opened.push_back(path);
    if (refuse) return nullptr;
    return std::make_unique<FakeChannel>(script);
  }
};

// An FTDI list whose entries may be hidden until the device is re-enabled.
class FakeUsbBus final : public UsbBus {
 public:
  std::vector<UsbDeviceInfo> devices;
  std::string hidden_serial;  // listed only once `hidden_serial` is cleared
  bool refuse_open = false;
  int list_calls = 0;
  std::vector<int> opened;
  std::shared_ptr<ChannelScript> script = std::make_shared<ChannelScript>();

  bool ListDevices(std::vector<UsbDeviceInfo>& out) override {
    ++list_calls;
    out.clear();
    for (const auto& d : devices) {
      if (d.serial != hidden_serial) out.push_back(d);
    }
    return true;
  }

  std::unique_ptr<ByteChannel> Open(int index) override {
    opened.push_back(index);
    if (refuse_open) return nullptr;
    return std::make_unique<FakeChannel>(script);
  }
};

// Time passes only by sleeping.
class FakeClock final : public Clock {
 public:
  explicit FakeClock(std::uint32_t start = 1000) : now(start) {}
  std::uint32_t now;
  std::uint64_t slept = 0;

  std::uint32_t TickCount() override { return now; }
  void Sleep(std::uint32_t ms) override {
    now += ms;
    slept += ms;
  }
};

// Forwards to a device list and records every disable and enable.
class RecordingDevices final : public DeviceManager {
 public:
  explicit RecordingDevices(DeviceManager& inner) : inner_(inner) {}
  std::vector<std::pair<std::string, bool>> changes;
  std::function<void()> on_enable;  // the device comes back, e.g. into the FTDI list
  bool ListPresent(std::vector<std::string>& ids) override { return inner_.ListPresent(ids); }
  bool SetEnabled(const std::string& id, bool enabled) override {
    changes.emplace_back(id, enabled);
    const bool ok = inner_.SetEnabled(id, enabled);
    if (enabled && on_enable) on_enable();
    return ok;
  }

 private:
  DeviceManager& inner_;
};

// A throw-away /sys/bus/usb/devices look-alike.
class FakeSysfs {
 public:
  FakeSysfs() {
    root = std::filesystem::temp_directory_path() /
           ("kyr-sysfs-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
  }
  ~FakeSysfs() { std::filesystem::remove_all(root); }

  // A device folder with its attributes (sysfs ends each with a line feed).
  std::filesystem::path AddDevice(const std::string& name, const std::string& vendor,
                                  const std::string& product, const std::string& serial) {
    const auto folder = root / name;
    std::filesystem::create_directories(folder);
    Write(folder / "idVendor", vendor + "\n");
    Write(folder / "idProduct", product + "\n");
    if (!serial.empty()) Write(folder / "serial", serial + "\n");
    Write(folder / "authorized", "1\n");
    return folder;
  }

  static void Write(const std::filesystem::path& file, const std::string& text) {
    std::ofstream(file) << text;
  }
  static std::string Read(const std::filesystem::path& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  std::filesystem::path root;

 private:
  static inline int counter_ = 0;
};

}  // namespace kyr::link::testing
