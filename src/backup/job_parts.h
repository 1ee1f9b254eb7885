#pragma once
// What the backup, restore and verification jobs share: the sizes their progress counts in,
// the image types a backup holds and their file names, the problem texts, and the host that
// answers the dialogs of the tool's operations the jobs run.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "backup/progress.h"
#include "strings/strings.h"
#include "tool/tool_host.h"

namespace kyr::backup::detail {

constexpr int kTypeBank = 0;  // Image Type box indexes
constexpr int kTypeMemory = 1;
constexpr std::uint64_t kSettingsBytes = 2 * 8192;
constexpr std::uint64_t kImageBytes = 131072;

// "bank" or "memory": the kind in the manifest and the start of the file names.
std::string_view KindOfType(int type);
// "bank" or "memory" as the user reads it in `lang`.
std::string KindWord(int type, Lang lang);
// FOLDER/bank.05.kimg
std::string ImagePath(const std::string& folder, int type, int number);

// A tool text with its %-arguments filled in.
std::string Text(ToolText id, const std::vector<std::string>& args, Lang lang);

// The host the tool's operations see during a job: the dialogs are answered from the job,
// questions with Yes (the job asked its one question before it started), completion boxes
// kept quiet, failures passed on to the user.
class OperationHost : public tool::ToolHost {
 public:
  OperationHost(tool::ToolHost& user, ProgressTracker& progress, std::function<bool()> interrupted)
      : user_(user), progress_(progress), interrupted_(std::move(interrupted)) {}

  std::string save_path;
  std::vector<std::string> open_paths;
  std::optional<std::uint64_t> selection;  // none: the images the head offers
  std::optional<int> number;

  tool::Answer ShowMessage(const tool::Message& message) override;
  std::optional<std::string> AskSaveFile(const std::vector<tool::FileFilter>&,
                                         const std::string&) override {
    return save_path;
  }
  std::optional<std::string> AskOpenFile(const std::vector<tool::FileFilter>&,
                                         const std::string&) override;
  std::vector<std::string> AskOpenFiles(const std::vector<tool::FileFilter>&) override {
    return open_paths;
  }
  void SetProgressRange(int low, int high) override { progress_.Range(low, high); }
  void SetProgressPosition(int position) override { progress_.Position(position); }
  void ProcessPendingEvents(int) override {}
  bool AskImageSelection(const tool::ImageSelectionDialog&, std::uint64_t& mask) override;
  bool AskImageNumber(int, int& chosen) override;
  bool AbortRequested() override { return Interrupted(); }
  bool Interrupted() const { return interrupted_ && interrupted_(); }

 private:
  tool::ToolHost& user_;
  ProgressTracker& progress_;
  std::function<bool()> interrupted_;
};

}  // namespace kyr::backup::detail
