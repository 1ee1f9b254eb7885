#pragma once
// A simulated head unit reached over the link on simulated time, a host that answers from a
// script and records, and a temporary folder: everything a settings transfer touches.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "headsim/usb_head.h"
#include "link/link.h"
#include "settings/settings_file.h"
#include "settings/settings_image.h"
#include "tool/tool_host.h"
#include "tool/tool_state.h"
#include "transfer/transfer.h"

namespace kyr::transfer::testing {

class ScriptedHost : public tool::ToolHost {
 public:
  std::vector<tool::Message> messages;
  std::vector<tool::Answer> answers;  // answers to questions, in order; then No
  std::optional<std::string> file_name;
  std::optional<tool::WriteChoices> write_answer;  // WRITE with these; none: CANCEL
  std::vector<int> positions;
  int range_low = -1;
  int range_high = -1;
  std::function<void(int)> on_progress;

  tool::Answer ShowMessage(const tool::Message& message) override {
    messages.push_back(message);
    if (message.buttons == tool::Buttons::Ok) return tool::Answer::Ok;
    return answered_ < answers.size() ? answers[answered_++] : tool::Answer::No;
  }
  std::optional<std::string> AskSaveFile(const std::vector<tool::FileFilter>&,
                                         const std::string&) override {
    return file_name;
  }
  std::optional<std::string> AskOpenFile(const std::vector<tool::FileFilter>&,
                                         const std::string&) override {
    return file_name;
  }
  std::vector<std::string> AskOpenFiles(const std::vector<tool::FileFilter>&) override {
    return {};
  }
  void SetProgressRange(int low, int high) override {
    range_low = low;
    range_high = high;
  }
  void SetProgressPosition(int position) override {
    positions.push_back(position);
    if (on_progress) on_progress(position);
  }
  void ProcessPendingEvents(int) override {}
  bool AskWriteChoices(tool::WriteChoices& choices) override {
    shown_choices.push_back(choices);
    if (!write_answer) return false;
    choices = *write_answer;
    return true;
  }

  std::vector<tool::WriteChoices> shown_choices;

  std::vector<int> MessageIds() const {
    std::vector<int> ids;
    for (const auto& m : messages) ids.push_back(m.string_id);
    return ids;
  }

 private:
  std::size_t answered_ = 0;
};

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteAll(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// Words that differ from block to block and from word to word, with the version word set.
inline settings::SettingsImage PatternImage(unsigned seed, std::uint16_t version_word) {
  std::mt19937 random(seed);
  settings::SettingsImage image{};
  for (auto& word : image) word = static_cast<std::uint16_t>(random());
  image[settings::CommonWord(0)] = version_word;
  return image;
}

struct Rig {
  // A unit of `heads` heads whose version word is `version_word`.
  explicit Rig(std::uint16_t version_word = 0x0301, int heads = 1)
      : unit(Options(version_word, heads), time), link(unit.Environment()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "kyr-xfer-XXXXXX").string();
    folder = ::mkdtemp(pattern.data());
    for (int h = 0; h < heads; ++h) Memory(h)[settings::CommonWord(0)] = version_word;
  }
  ~Rig() { std::filesystem::remove_all(folder); }

  static headsim::UsbHeadOptions Options(std::uint16_t version_word, int heads) {
    headsim::UsbHeadOptions options;
    options.engine.heads = heads;
    options.engine.model = static_cast<std::uint8_t>(version_word & 0xFF);
    options.engine.version = static_cast<std::uint8_t>(version_word >> 8);
    return options;
  }

  std::string File(const std::string& name) const { return (folder / name).string(); }
  headsim::Engine& engine() { return unit.engine(); }
  headsim::SettingsWords& Memory(int head = 0) { return engine().Head(head).settings; }

  // Fills head `head`'s memory with a pattern keeping its version word.
  void FillHead(int head, unsigned seed) {
    auto& memory = Memory(head);
    const std::uint16_t version = memory[settings::CommonWord(0)];
    const auto image = PatternImage(seed, version);
    std::copy(image.begin(), image.end(), memory.begin());
  }

  TransferContext Context(int head = 0) { return TransferContext{host, link, state, "USB", head}; }

  headsim::SimulatedTime time{headsim::SimulatedTime::Mode::kManual};
  headsim::SimulatedUsbHead unit;
  link::Link link;
  tool::ToolState state;
  ScriptedHost host;
  std::filesystem::path folder;
};

}  // namespace kyr::transfer::testing
