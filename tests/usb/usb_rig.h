#pragma once
// One rig for the USB end-to-end tests: an emulated bus with head units, the real platform
// (libftdi1 over libusb, sysfs, the system clock) pointed at it, a recording host and a
// temporary folder.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "common/pattern_memory.h"
#include "common/temp_folder.h"
#include "common/tool_host.h"
#include "images/ops/image_ops.h"
#include "link/link.h"
#include "link/posix/serial_port.h"
#include "link/sysfs/sysfs_devices.h"
#include "link/usb/ftdi_bus.h"
#include "settings/settings_image.h"
#include "tool/tool_state.h"
#include "tool/write_choices.h"
#include "transfer/transfer.h"
#include "usb/emu/ftdi_emulator.h"

namespace kyr::usb_emu::testing {

using test_common::PatternSettings;

inline UnitOptions Unit(const std::string& serial) {
  UnitOptions options;
  options.serial = serial;
  return options;
}

// Answers every dialog from a script: the file to save or open, GO on the image selection
// with `selection`, the image number `number`, WRITE with `write_choices`.
class UsbHost : public test_common::RecordingToolHost {
 public:
  std::optional<std::string> file;
  std::vector<std::string> files;
  std::uint64_t selection = 1;
  int number = 0;
  tool::WriteChoices write_choices;
  int abort_after_checks = -1;  // Abort is pressed when the tool looks this often; -1: never

  std::optional<std::string> AskSaveFile(const std::vector<tool::FileFilter>&,
                                         const std::string&) override {
    return file;
  }
  std::optional<std::string> AskOpenFile(const std::vector<tool::FileFilter>&,
                                         const std::string&) override {
    return file;
  }
  std::vector<std::string> AskOpenFiles(const std::vector<tool::FileFilter>&) override {
    return files;
  }
  bool AskImageSelection(const tool::ImageSelectionDialog&, std::uint64_t& mask) override {
    mask = selection;
    return true;
  }
  bool AskImageNumber(int, int& chosen) override {
    chosen = number;
    return true;
  }
  bool AskWriteChoices(tool::WriteChoices& choices) override {
    choices = write_choices;
    return true;
  }
  bool AbortRequested() override { return abort_after_checks >= 0 && abort_after_checks-- == 0; }
};

class UsbRig : public ::testing::Test {
 public:
  // Adds a unit whose head holds PatternSettings(seed).
  EmulatedUnit& AddUnit(const std::string& serial = "KYRD0001", unsigned seed = 7) {
    UnitOptions options = Unit(serial);
    options.driver_bound = drivers_bound;
    EmulatedUnit& unit = bus.Add(options);
    unit.WithEngine([&](headsim::Engine& engine) {
      engine.Head(0).settings = PatternSettings(seed);
      return 0;
    });
    return unit;
  }
  // The head's settings as they are now.
  static settings::SettingsImage HeadImage(EmulatedUnit& unit, int head = 0) {
    settings::SettingsImage image{};
    unit.WithEngine([&](headsim::Engine& engine) {
      image = engine.Head(head).settings;
      return 0;
    });
    return image;
  }

  // The platform, made after the units so that libusb sees them from the start.
  link::LinkEnvironment Environment() {
    if (!ftdi) ftdi = std::make_unique<link::FtdiBus>();
    link::LinkEnvironment environment;
    environment.usb_bus = ftdi.get();
    environment.devices = &sysfs;
    environment.clock = &clock;
    environment.device_serial = chosen_device;
    return environment;
  }
  link::Link& Link() {
    if (!link) link = std::make_unique<link::Link>(Environment());
    return *link;
  }
  transfer::TransferContext Context(int head = 0) {
    return transfer::TransferContext{host, Link(), state, "USB", head};
  }
  images::ImageOpsContext ImageContext(int type, int head = 0) {
    return images::ImageOpsContext{host, Link(), *image_state, "USB", head, type};
  }
  void TearDown() override {
    link.reset();
    ftdi.reset();  // the libusb context goes before the bus
  }

  EmulatedBus bus;
  std::string chosen_device;   // --device; empty: the first unit
  bool drivers_bound = false;  // units added from now on have the kernel's serial driver bound
  int bus_units_ = 0;
  link::SysfsDevices sysfs;
  link::SystemClock clock;
  std::unique_ptr<link::FtdiBus> ftdi;
  std::unique_ptr<link::Link> link;
  UsbHost host;
  tool::ToolState state;
  std::unique_ptr<images::ImageState> image_state = std::make_unique<images::ImageState>();
  test_common::TempFolder temp;
};

}  // namespace kyr::usb_emu::testing
