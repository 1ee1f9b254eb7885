#include "backup/job_parts.h"

#include <cstdio>
#include <ostream>

#include "backup/operations.h"
#include "backup/record.h"
#include "images/ops/image_types.h"
#include "settings/image_presence.h"
#include "tool/link_session.h"
#include "tool/messages.h"

namespace kyr::backup::detail {

std::string_view KindOfType(int type) {
  return type == kTypeBank ? kKindBank : kKindMemory;
}

std::string KindWord(int type, Lang lang) {
  return std::string(
      LoadString(type == kTypeBank ? ToolText::kBankKind : ToolText::kMemoryKind, lang));
}

std::string ImagePath(const std::string& folder, int type, int number) {
  char name[32];
  std::snprintf(name, sizeof name, "%s.%02d.kimg", std::string(KindOfType(type)).c_str(), number);
  return folder + "/" + name;
}

std::string Text(ToolText id, const std::vector<std::string>& args, Lang lang) {
  return FormatMessage(LoadString(id, lang), args);
}

namespace {

// "Fail to write USB." without a caption of its own when a frame was not sent, as the
// window's commands show it.
tool::Message FailureBox(ToolText text, bool not_sent) {
  return not_sent ? tool::TitleErrorBox(text) : tool::ErrorBox(text);
}

}  // namespace

int ImageChoice::Most(int type) const {
  return Chosen(type) ? images::ImageTypeOf(type).count : 0;
}

void PlanHeads(ProgressTracker& progress, std::size_t heads, ImageChoice choice) {
  const int images = choice.Most(kTypeBank) + choice.Most(kTypeMemory);
  for (std::size_t k = 0; k < heads; ++k) {
    progress.AddWork(1 + images, kSettingsBytes + kImageBytes * static_cast<std::uint64_t>(images));
  }
}

std::uint64_t PresentImages(const settings::SettingsImage& image, int type) {
  if (type == kTypeBank) return settings::RegisteredBankImages(image);
  const int count = images::ImageTypeOf(type).count;
  return settings::MemoryImagesPresent(image) & ((1ULL << count) - 1);
}

HeadImagePlan::HeadImagePlan(ProgressTracker& progress, ImageChoice choice)
    : progress_(progress),
      choice_(choice),
      planned_{choice.Most(kTypeBank), choice.Most(kTypeMemory)} {}

void HeadImagePlan::Holds(int type, std::uint64_t mask) {
  const int count = images::ImageTypeOf(type).count;
  int held = 0;
  for (int number = 0; number < count; ++number) held += static_cast<int>((mask >> number) & 1);
  int& planned = planned_[static_cast<std::size_t>(type)];
  if (held < planned) {
    progress_.DropWork(planned - held, kImageBytes * static_cast<std::uint64_t>(planned - held));
  } else if (held > planned) {
    progress_.AddWork(held - planned, kImageBytes * static_cast<std::uint64_t>(held - planned));
  }
  planned = held;
}

tool::ServiceHooks JobHooks(ProgressTracker& progress, const std::function<bool()>& interrupted) {
  return {[&progress](int position) { progress.Position(position); },
          [interrupted] { return interrupted && interrupted(); }};
}

bool HeadSession::Open(const std::string& port, int head) {
  open_ = tool::OpenLinkToHead(user_, link_, port, head - 1);
  shown_ = !open_;
  return open_;
}

void HeadSession::Failed(const tool::Message& box) {
  user_.ShowMessage(box);
  shown_ = true;
}

bool HeadSession::Settings(transfer::SettingsResult result,
                           const std::optional<tool::Message>& box) {
  closing_ = transfer::ClosingFrameAfter(result);
  after_settings_ = true;
  if (result == transfer::SettingsResult::kDone) return true;
  Failed(box ? *box
             : FailureBox(transfer::SettingsResultText(result),
                          result == transfer::SettingsResult::kNotSent));
  return false;
}

bool HeadSession::Presence(images::ImageResult result) {
  // A failed presence read leaves the head without the closing frame.
  closing_ = result == images::ImageResult::kDone;
  after_settings_ = false;
  if (result == images::ImageResult::kDone) return true;
  Failed(FailureBox(images::ImageResultText(result), result == images::ImageResult::kNotSent));
  return false;
}

bool HeadSession::Transfer(images::ImageResult result) {
  // Once an image transfer ran the head is told the exchange is over, also after a failure.
  closing_ = true;
  after_settings_ = false;
  if (result == images::ImageResult::kDone) return true;
  Failed(FailureBox(images::ImageResultText(result), result == images::ImageResult::kNotSent));
  return false;
}

bool HeadSession::Close() {
  if (!open_) return true;
  open_ = false;
  const link::LinkResult closed = link_.CloseLink(closing_);
  if (closed == link::LinkResult::kOk) return true;
  // After a dropped link the closing frame's failure would only repeat what was shown.
  if (!shown_) tool::ShowLinkFailure(user_, closed);
  return !after_settings_;
}

}  // namespace kyr::backup::detail

namespace kyr::backup {

std::string_view OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::kDone:
      return "done";
    case Outcome::kRefused:
      return "refused";
    case Outcome::kFailed:
      return "failed";
    case Outcome::kDiffers:
      return "differs";
  }
  return "?";
}

std::ostream& operator<<(std::ostream& out, Outcome outcome) {
  return out << OutcomeName(outcome);
}

}  // namespace kyr::backup
