#pragma once
// The base of the tests' tool hosts: records every message box and answers questions from a
// script; dialogs are cancelled and the rest does nothing unless a test's host says otherwise.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "common/text_names.h"
#include "tool/tool_host.h"

namespace kyr::test_common {

class RecordingToolHost : public tool::ToolHost {
 public:
  std::vector<userport::Message> messages;
  std::vector<userport::Answer> answers;  // to questions, in order; then No

  userport::Answer ShowMessage(const userport::Message& message) override {
    messages.push_back(message);
    if (message.buttons == userport::Buttons::Ok) return userport::Answer::Ok;
    return answered_ < answers.size() ? answers[answered_++] : userport::Answer::No;
  }
  std::optional<std::string> AskSaveFile(const std::vector<userport::FileFilter>&,
                                         const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> AskOpenFile(const std::vector<userport::FileFilter>&,
                                         const std::string&) override {
    return std::nullopt;
  }
  std::vector<std::string> AskOpenFiles(const std::vector<userport::FileFilter>&) override {
    return {};
  }
  void SetProgressRange(int, int) override {}
  void SetProgressPosition(int) override {}
  void ProcessPendingEvents(int) override {}

  // The texts of the messages shown, in order.
  std::vector<ToolText> MessageIds() const {
    std::vector<ToolText> ids;
    for (const auto& m : messages) ids.push_back(static_cast<ToolText>(m.string_id));
    return ids;
  }

 private:
  std::size_t answered_ = 0;
};

}  // namespace kyr::test_common
