#pragma once
// The shared head rig with a host that answers from a script and records: everything a
// settings transfer touches.
#include <functional>

#include "common/head_rig.h"
#include "common/pattern_memory.h"
#include "common/tool_host.h"
#include "settings/settings_file.h"
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
  std::function<bool()> abort_when;  // none: no abort is asked for

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
  bool AbortRequested() override { return abort_when && abort_when(); }
  bool AskWriteChoices(tool::WriteChoices& choices) override {
    shown_choices.push_back(choices);
    if (write_answer) choices = *write_answer;
    return write_answer.has_value();
  }
};

using test_common::PatternSettings;
using test_common::ReadAll;
using test_common::WriteAll;

// A unit of `heads` heads, head h filled with PatternSettings(100 + h, `version_word`).
struct Rig : test_common::HeadRig {
  // `trace`: where the link writes its frames; none: no trace.
  explicit Rig(std::uint16_t version_word = 0x0301, int heads = 1, link::TraceLog* trace = nullptr)
      : HeadRig({.heads = heads, .trace = trace}) {
    for (int h = 0; h < heads; ++h) Head(h).settings = PatternSettings(100u + h, version_word);
  }
  // `image` as a settings file; its path.
  std::string SettingsFile(const settings::SettingsImage& image, const std::string& name) {
    WriteAll(File(name), settings::FormatSettingsText(image));
    return File(name);
  }

  tool::ToolState state;
  ScriptedHost host;
  TransferContext ctx{host, link, state, "USB", 0};
};

}  // namespace kyr::transfer::testing
