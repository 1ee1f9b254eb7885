#pragma once
// A simulated head unit reached over the link on simulated time, a host that answers from a
// script and records, and a temporary folder: everything a settings transfer touches.
#include <functional>
#include <random>

#include "common/fault_rule.h"
#include "common/tool_host.h"
#include "headsim/usb_head.h"
#include "link/trace.h"
#include "settings/settings_file.h"
#include "settings/test_support.h"
#include "transfer/transfer.h"

namespace kyr::transfer::testing {

class ScriptedHost : public test_common::RecordingToolHost {
 public:
  std::optional<std::string> file_name;
  std::optional<tool::WriteChoices> write_answer;  // WRITE with these; none: CANCEL
  std::vector<tool::WriteChoices> shown_choices;
  std::vector<int> positions;
  int range_high = -1;
  std::function<void(int)> on_progress;

  std::optional<std::string> AskSaveFile(const std::vector<tool::FileFilter>&,
                                         const std::string&) override {
    return file_name;
  }
  std::optional<std::string> AskOpenFile(const std::vector<tool::FileFilter>&,
                                         const std::string&) override {
    return file_name;
  }
  void SetProgressRange(int, int high) override { range_high = high; }
  void SetProgressPosition(int position) override {
    positions.push_back(position);
    if (on_progress) on_progress(position);
  }
  bool AskWriteChoices(tool::WriteChoices& choices) override {
    shown_choices.push_back(choices);
    if (write_answer) choices = *write_answer;
    return write_answer.has_value();
  }
};

using settings::testing::ReadAll;
using settings::testing::WriteAll;

// Different words everywhere, with the given version word.
inline settings::SettingsImage PatternImage(unsigned seed, std::uint16_t version_word) {
  std::mt19937 random(seed);
  settings::SettingsImage image{};
  for (auto& word : image) word = static_cast<std::uint16_t>(random());
  image[settings::CommonWord(0)] = version_word;
  return image;
}

// A unit of `heads` heads, each filled with a pattern under `version_word`.
struct Rig {
  // `trace`: where the link writes its frames; none: no trace.
  explicit Rig(std::uint16_t version_word = 0x0301, int heads = 1, link::TraceLog* trace = nullptr)
      : unit(Options(heads), time), link(Traced(unit.Environment(), trace)), folder(temp.path()) {
    for (int h = 0; h < heads; ++h) {
      const auto image = PatternImage(100u + static_cast<unsigned>(h), version_word);
      std::copy(image.begin(), image.end(), Memory(h).begin());
    }
  }
  static link::LinkEnvironment Traced(link::LinkEnvironment environment, link::TraceLog* trace) {
    environment.trace = trace;
    return environment;
  }
  static headsim::UsbHeadOptions Options(int heads) {
    headsim::UsbHeadOptions options;
    options.engine.heads = heads;
    return options;
  }

  std::string File(const std::string& name) const { return temp.File(name); }
  headsim::Engine& engine() { return unit.engine(); }
  headsim::SettingsWords& Memory(int head = 0) { return engine().Head(head).settings; }
  settings::SettingsImage Image(int head = 0) {
    settings::SettingsImage image{};
    std::copy(Memory(head).begin(), Memory(head).end(), image.begin());
    return image;
  }
  // `image` as a settings file; its path.
  std::string SettingsFile(const settings::SettingsImage& image, const std::string& name) {
    WriteAll(File(name), settings::FormatSettingsText(image));
    return File(name);
  }
  void AddFault(headsim::FaultKind kind, int command, int block, int times = 1) {
    engine().Faults().Add(test_common::Fault(kind, command, block, times));
  }

  headsim::SimulatedTime time{headsim::SimulatedTime::Mode::kManual};
  headsim::SimulatedUsbHead unit;
  link::Link link;
  tool::ToolState state;
  ScriptedHost host;
  settings::testing::TempFolder temp;
  const std::filesystem::path& folder;
  TransferContext ctx{host, link, state, "USB", 0};
};

}  // namespace kyr::transfer::testing
