#pragma once
// The image commands against an in-process simulated head on simulated time, with a host
// that answers from a script and records, and a record of every frame the tool sent.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/temp_folder.h"
#include "common/tool_host.h"
#include "headsim/usb_head.h"
#include "images/ops/image_ops.h"
#include "link/link.h"
#include "tool/tool_host.h"

namespace kyr::images::testing {

using test_common::Bytes;
using test_common::ReadBytes;
using test_common::TempFolder;
using test_common::WriteBytes;

// Every write the tool makes (one frame each), passed on to the simulated device.
class RecordingChannel : public link::ByteChannel {
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

 private:
  std::unique_ptr<link::ByteChannel> inner_;
  std::vector<Bytes>& frames_;
};

class RecordingBus : public link::UsbBus {
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

// Answers from a script and records what the operation showed and asked.
class ScriptedHost : public test_common::RecordingToolHost {
 public:
  // Script.
  std::optional<std::string> save_name;
  std::vector<std::string> open_files;
  std::optional<std::uint64_t> selection;  // GO with these boxes; none: GO as offered
  bool cancel_selection = false;
  std::optional<int> number_choice;  // GO with this number; none: GO as offered
  int abort_after_blocks = -1;       // the Abort button is pressed after this many blocks
  std::function<void()> on_event;    // runs each time one pending event is let through

  // Record.
  std::vector<std::uint64_t> offered_masks;
  std::vector<int> offered_dialogs;
  std::vector<std::pair<int, int>> offered_numbers;  // count, number
  std::vector<int> shown_numbers;
  std::vector<std::string> calls;  // EnableCommands/EnableAbort/dialogs in order
  int paints = 0;
  int blocks = 0;

  std::optional<std::string> AskSaveFile(const std::vector<tool::FileFilter>&,
                                         const std::string&) override {
    calls.push_back("save dialog");
    return save_name;
  }
  std::vector<std::string> AskOpenFiles(const std::vector<tool::FileFilter>& filters) override {
    calls.push_back("open dialog");
    open_filters = filters;
    return open_files;
  }
  void ProcessPendingEvents(int count) override {
    if (count != 1) return;
    ++blocks;
    if (on_event) on_event();
  }
  bool AskImageSelection(const tool::ImageSelectionDialog& dialog, std::uint64_t& mask) override {
    calls.push_back("selection dialog");
    offered_dialogs.push_back(dialog.dialog_id);
    offered_masks.push_back(mask);
    if (cancel_selection) return false;
    if (selection) mask = *selection;
    return true;
  }
  bool AskImageNumber(int count, int& number) override {
    calls.push_back("number dialog");
    offered_numbers.emplace_back(count, number);
    if (number_choice) number = *number_choice;
    return true;
  }
  void ShowImageNumber(int number) override { shown_numbers.push_back(number); }
  void PaintCanvas() override { ++paints; }
  bool AbortRequested() override { return abort_after_blocks >= 0 && blocks >= abort_after_blocks; }
  void ClearAbortRequest() override {}
  void EnableAbort(bool enabled) override { calls.push_back(enabled ? "abort on" : "abort off"); }
  void EnableCommands(bool enabled) override {
    calls.push_back(enabled ? "commands on" : "commands off");
  }

  std::vector<tool::FileFilter> open_filters;
};

// The .kimg bytes of a picture the simulated head holds.
inline Bytes FileBytesOf(const headsim::RawImage& image) {
  Bytes bytes;
  bytes.reserve(2 * image.size());
  for (std::uint16_t word : image) {
    bytes.push_back(static_cast<std::uint8_t>(word & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(word >> 8));
  }
  return bytes;
}

// An image file whose word n is `seed` + n.
inline Bytes PatternFile(std::uint16_t seed) {
  Bytes bytes;
  for (std::uint32_t n = 0; n < 65536; ++n) {
    const auto word = static_cast<std::uint16_t>(seed + n);
    bytes.push_back(static_cast<std::uint8_t>(word & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(word >> 8));
  }
  return bytes;
}

struct Rig {
  explicit Rig(int heads = 1)
      : unit(Options(heads), time), bus(unit.Bus(), frames), environment(Environment()) {}
  static headsim::UsbHeadOptions Options(int heads) {
    headsim::UsbHeadOptions options;
    options.engine.heads = heads;
    return options;
  }

  link::LinkEnvironment Environment() {
    link::LinkEnvironment recorded = unit.Environment();
    recorded.usb_bus = &bus;
    return recorded;
  }

  ImageOpsContext Context(int type, int head = 0) {
    return ImageOpsContext{host, link, *state, "USB", head, type};
  }
  headsim::HeadMemory& Head(int h = 0) { return unit.engine().Head(h); }
  headsim::FaultPlan& Faults() { return unit.engine().Faults(); }

  // Frames the tool sent whose first byte is `code`.
  std::vector<Bytes> FramesStarting(std::uint8_t code) const {
    std::vector<Bytes> found;
    for (const Bytes& frame : frames) {
      if (!frame.empty() && frame[0] == code && frame.size() == 7) found.push_back(frame);
    }
    return found;
  }

  headsim::SimulatedTime time{headsim::SimulatedTime::Mode::kManual};
  headsim::SimulatedUsbHead unit;
  std::vector<Bytes> frames;
  RecordingBus bus;
  link::LinkEnvironment environment;
  link::Link link{environment};
  ScriptedHost host;
  std::unique_ptr<ImageState> state = std::make_unique<ImageState>();
};

}  // namespace kyr::images::testing
