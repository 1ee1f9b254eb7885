#pragma once
// The image commands on the shared head rig, with a host that answers from a script and
// records.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/head_rig.h"
#include "common/pattern_memory.h"
#include "common/tool_host.h"
#include "images/ops/image_ops.h"
#include "tool/tool_host.h"

namespace kyr::images::testing {

using test_common::Bytes;
using test_common::FileBytesOf;
using test_common::PatternFile;
using test_common::PatternRaw;
using test_common::ReadBytes;
using test_common::TempFolder;
using test_common::WriteBytes;

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

struct Rig : test_common::HeadRig {
  explicit Rig(int heads = 1) : HeadRig({.heads = heads}) {}
  ImageOpsContext Context(int type, int head = 0) {
    return ImageOpsContext{host, link, *state, "USB", head, type};
  }

  ScriptedHost host;
  std::unique_ptr<ImageState> state = std::make_unique<ImageState>();
};

}  // namespace kyr::images::testing
