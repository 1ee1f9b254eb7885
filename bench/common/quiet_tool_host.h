#pragma once
// The benchmarks' tool host: says Yes to every question, shows nothing, offers one file in
// every file dialog, and chooses the first image in a selection dialog.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tool/tool_host.h"

namespace kyr::bench_common {

class QuietToolHost : public tool::ToolHost {
 public:
  // `path` is what the file dialogs return; none when it is empty.
  explicit QuietToolHost(std::string path = {}) : path_(std::move(path)) {}

  userport::Answer ShowMessage(const userport::Message& message) override {
    return userport::AcceptAnswer(message.buttons);
  }
  std::optional<std::string> AskSaveFile(const std::vector<userport::FileFilter>&,
                                         const std::string&) override {
    return Offered();
  }
  std::optional<std::string> AskOpenFile(const std::vector<userport::FileFilter>&,
                                         const std::string&) override {
    return Offered();
  }
  std::vector<std::string> AskOpenFiles(const std::vector<userport::FileFilter>&) override {
    if (path_.empty()) return {};
    return {path_};
  }
  void SetProgressRange(int, int) override {}
  void SetProgressPosition(int) override {}
  void ProcessPendingEvents(int) override {}
  bool AskImageSelection(const tool::ImageSelectionDialog&, std::uint64_t& mask) override {
    mask = 1;
    return true;
  }
  bool AskImageNumber(int, int&) override { return true; }  // GO with the number offered

 private:
  std::optional<std::string> Offered() const {
    if (path_.empty()) return std::nullopt;
    return path_;
  }

  std::string path_;
};

}  // namespace kyr::bench_common
