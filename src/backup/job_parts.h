#pragma once
// What the backup, restore and verification jobs share: the sizes their progress counts in,
// the image types a backup holds and their file names, the problem texts, and the link
// session the head services of a job run on.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "backup/progress.h"
#include "images/ops/services.h"
#include "link/link.h"
#include "settings/settings_image.h"
#include "strings/strings.h"
#include "tool/service_hooks.h"
#include "tool/tool_host.h"
#include "transfer/services.h"

namespace kyr::backup::detail {

constexpr int kTypeBank = 0;  // Image Type box indexes
constexpr int kTypeMemory = 1;
constexpr std::uint64_t kSettingsBytes = 2 * 8192;
constexpr int kSettingsReadBlocks = 64;    // the progress steps of a settings read
constexpr int kSettingsWriteBlocks = 128;  // and of a whole settings write
constexpr std::uint64_t kImageBytes = 131072;

// "bank" or "memory": the kind in the manifest and the start of the file names.
std::string_view KindOfType(int type);
// "bank" or "memory" as the user reads it in `lang`.
std::string KindWord(int type, Lang lang);
// FOLDER/bank.05.kimg
std::string ImagePath(const std::string& folder, int type, int number);

// A tool text with its %-arguments filled in.
std::string Text(ToolText id, const std::vector<std::string>& args, Lang lang);

// The images of `type` the settings say the head holds.
std::uint64_t PresentImages(const settings::SettingsImage& image, int type);

// The image types a job moves, and the most images of each a head can hold.
struct ImageChoice {
  bool bank = true;
  bool memory = true;
  bool Chosen(int type) const { return type == kTypeBank ? bank : memory; }
  int Most(int type) const;
};

// Plans the most `heads` heads can move: each one's settings and every chosen image.
void PlanHeads(ProgressTracker& progress, std::size_t heads, ImageChoice choice);

// The images one head is planned to move, each chosen type from the most a head can hold (as
// PlanHeads planned it) to what this head is found to hold.
class HeadImagePlan {
 public:
  HeadImagePlan(ProgressTracker& progress, ImageChoice choice);
  bool Chosen(int type) const { return choice_.Chosen(type); }
  // The head holds the images of `type` in `mask`: the plan moves those.
  void Holds(int type, std::uint64_t mask);

 private:
  ProgressTracker& progress_;
  ImageChoice choice_;
  std::array<int, 2> planned_{};
};

// The services' progress into the tracker's current operation (BeginOperation and Range
// first), and the job's interruption as their abort check.
tool::ServiceHooks JobHooks(ProgressTracker& progress, const std::function<bool()>& interrupted);

// One link session with a head for all the services a job runs on it: opened with the head
// asked for, closed once at the end. A failed service is shown to the user as the window
// shows it; the closing frame is sent when the last service leaves it due (after a settings
// service or a presence read only when it succeeded, after an image transfer always).
class HeadSession {
 public:
  HeadSession(tool::ToolHost& user, link::Link& link) : user_(user), link_(link) {}
  HeadSession(const HeadSession&) = delete;
  HeadSession& operator=(const HeadSession&) = delete;
  ~HeadSession() { Close(); }

  // Opens the link on `port` and asks for head `head` (1 to 3); false after the message.
  bool Open(const std::string& port, int head);
  // Each true when the service succeeded; otherwise its failure has been shown (`box`, when
  // given, instead of the result's own message).
  bool Settings(transfer::SettingsResult result, const std::optional<tool::Message>& box = {});
  bool Presence(images::ImageResult result);
  bool Transfer(images::ImageResult result);
  // Closes the link once. False when the closing frame could not be sent after a settings
  // service ended the session, which fails that service as its window command fails.
  bool Close();

 private:
  void Failed(const tool::Message& box);

  tool::ToolHost& user_;
  link::Link& link_;
  bool open_ = false;
  bool closing_ = false;  // the closing frame is due
  bool shown_ = false;    // a failure has been shown
  bool after_settings_ = false;
};

}  // namespace kyr::backup::detail
