#pragma once
// A simulated head unit on manual simulated time, reached in process over a link exactly as
// the tool reaches hardware, with a copy of every frame the tool wrote and a temporary
// folder: what the tests of the head commands stand on. Each area adds its own scripted host
// and context.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/fault_rule.h"
#include "common/temp_folder.h"
#include "headsim/usb_head.h"
#include "link/link.h"
#include "settings/settings_image.h"

namespace kyr::test_common {

// Passes everything on to the channel below and keeps a copy of every write (one frame each).
class RecordingChannel final : public link::ByteChannel {
 public:
  RecordingChannel(std::unique_ptr<link::ByteChannel> inner, std::vector<Bytes>& frames)
      : inner_(std::move(inner)), frames_(frames) {}
  bool Write(const std::uint8_t* data, std::size_t count, std::size_t& written) override {
    frames_.emplace_back(data, data + count);
    return inner_->Write(data, count, written);
  }
  bool Read(std::uint8_t* data, std::size_t count, std::size_t& got) override {
    return inner_->Read(data, count, got);
  }
  std::size_t Drain(std::uint32_t quiet_ms, std::uint32_t limit_ms) override {
    return inner_->Drain(quiet_ms, limit_ms);
  }
  void Close() override { inner_->Close(); }
  void SetWaitCheck(std::function<bool()> check) override {
    inner_->SetWaitCheck(std::move(check));
  }

 private:
  std::unique_ptr<link::ByteChannel> inner_;
  std::vector<Bytes>& frames_;
};

// The bus below, whose channels record.
class RecordingBus final : public link::UsbBus {
 public:
  RecordingBus(link::UsbBus& inner, std::vector<Bytes>& frames) : inner_(inner), frames_(frames) {}
  bool ListDevices(std::vector<link::UsbDeviceInfo>& devices) override {
    return inner_.ListDevices(devices);
  }
  std::unique_ptr<link::ByteChannel> Open(int index) override {
    auto channel = inner_.Open(index);
    if (!channel) return nullptr;
    return std::make_unique<RecordingChannel>(std::move(channel), frames_);
  }

 private:
  link::UsbBus& inner_;
  std::vector<Bytes>& frames_;
};

struct HeadRigOptions {
  int heads = 1;
  std::string serial = "KYRD0001";
  std::int64_t replug_after_ms = -1;  // back by itself after a dropped link; negative: never
  bool stuck = false;                 // listed by the FTDI list only after a disable and enable
  link::TraceLog* trace = nullptr;    // where the link writes its frames; none: no trace
};

class HeadRig {
 public:
  explicit HeadRig(const HeadRigOptions& options = {})
      : unit(UnitOptions(options), time), link(Environment(options.trace)) {}

  headsim::Engine& engine() { return unit.engine(); }
  headsim::HeadMemory& Head(int head = 0) { return engine().Head(head); }
  headsim::FaultPlan& Faults() { return engine().Faults(); }
  void AddFault(headsim::FaultKind kind, int command, int block, int times = 1,
                std::int64_t delay_ms = 1000) {
    Faults().Add(Fault(kind, command, block, times, delay_ms));
  }
  // The head's settings memory as it is now.
  settings::SettingsImage Settings(int head = 0) { return Head(head).settings; }

  std::string File(const std::string& name) const { return temp.File(name); }
  std::int64_t ElapsedMs() const { return time.NowMicros() / 1000; }

  // The command frames (seven bytes) the tool wrote whose first byte is `code`.
  std::vector<Bytes> FramesStarting(std::uint8_t code) const {
    std::vector<Bytes> found;
    for (const Bytes& frame : frames) {
      if (frame.size() == 7 && frame[0] == code) found.push_back(frame);
    }
    return found;
  }

  headsim::SimulatedTime time{headsim::SimulatedTime::Mode::kManual};
  headsim::SimulatedUsbHead unit;
  std::vector<Bytes> frames;             // every write of the tool, in order
  RecordingBus bus{unit.Bus(), frames};  // the unit's bus as the link sees it
  link::Link link;
  TempFolder temp;

 private:
  static headsim::UsbHeadOptions UnitOptions(const HeadRigOptions& options) {
    headsim::UsbHeadOptions unit_options;
    unit_options.engine.heads = options.heads;
    unit_options.serial = options.serial;
    unit_options.replug_after_ms = options.replug_after_ms;
    unit_options.stuck = options.stuck;
    return unit_options;
  }
  link::LinkEnvironment Environment(link::TraceLog* trace) {
    link::LinkEnvironment environment = unit.Environment();
    environment.usb_bus = &bus;
    environment.trace = trace;
    return environment;
  }
};

}  // namespace kyr::test_common
