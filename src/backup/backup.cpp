// Backup of a head unit: each head's settings, its registered bank images and its memory
// images, with a bitmap of each image, read by the head services over one link session per
// head into a staging folder that becomes the backup only when everything arrived.
#include <array>
#include <filesystem>
#include <fstream>
#include <memory>

#include "backup/job_parts.h"
#include "backup/operations.h"
#include "backup/sha256.h"
#include "images/bitmap.h"
#include "images/canvas.h"
#include "images/ops/image_types.h"
#include "images/ops/services.h"
#include "settings/image_presence.h"
#include "settings/settings_file.h"
#include "tool/messages.h"
#include "transfer/services.h"

namespace kyr::backup {
namespace {

namespace fs = std::filesystem;
using namespace detail;

// The entry of a file written into the backup; nullopt when it cannot be read back.
std::optional<FileEntry> Entry(const std::string& root, const std::string& relative,
                               std::string_view kind, int number) {
  const std::string path = root + "/" + relative;
  std::error_code error;
  const auto size = fs::file_size(path, error);
  const auto sha = Sha256OfFile(path);
  if (error || !sha) return std::nullopt;
  return FileEntry{relative, std::string(kind), number, size, *sha};
}

bool WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  out.close();
  return !out.fail();
}

// One head's part of the backup, read over one link session.
class HeadBackup {
 public:
  HeadBackup(BackupJob& job, ProgressTracker& progress, std::string root)
      : job_(job), progress_(progress), root_(std::move(root)), session_(job.host, job.link) {}

  bool Run(int head, HeadEntry& entry, std::string& problem) {
    entry.head = head;
    head_ = head;
    const std::string relative = HeadFolder(head);
    const std::string folder = root_ + "/" + relative;
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) {
      problem = Text(ToolText::kCannotCreateFolder, {folder}, job_.lang);
      return false;
    }
    auto image = std::make_unique<settings::SettingsImage>();
    step_ = Text(ToolText::kSettingsNotRead, {std::to_string(head)}, job_.lang);
    if (!ReadSettingsInto(*image, folder + "/" + std::string(kSettingsName))) {
      problem = step_;
      return false;
    }
    entry.model_code = settings::ModelCode(*image);
    entry.settings_version = settings::SettingsVersion(*image);
    if (!Add(entry, relative + "/" + std::string(kSettingsName), kKindSettings, -1, kSettingsBytes,
             problem))
      return false;

    const std::array<std::uint64_t, 2> present = {PresentImages(*image, kTypeBank),
                                                  PresentImages(*image, kTypeMemory)};
    for (const int type : {kTypeBank, kTypeMemory}) {
      if (plan_.Chosen(type)) plan_.Holds(type, present[static_cast<std::size_t>(type)]);
    }
    for (const int type : {kTypeBank, kTypeMemory}) {
      if (!plan_.Chosen(type) || present[static_cast<std::size_t>(type)] == 0) continue;
      step_ = Text(ToolText::kImagesNotRead, {std::to_string(head), KindWord(type, job_.lang)},
                   job_.lang);
      if (!ReadImagesOfType(type, folder, relative, entry, problem)) return false;
    }
    if (!session_.Close()) {
      problem = step_;
      return false;
    }
    return true;
  }

 private:
  bool Interrupted() const { return job_.interrupted && job_.interrupted(); }

  bool ReadSettingsInto(settings::SettingsImage& image, const std::string& path) {
    if (!session_.Open(job_.port, head_)) return false;
    progress_.BeginOperation(kSettingsBytes / kSettingsReadBlocks);
    progress_.Range(0, kSettingsReadBlocks);
    const auto read =
        transfer::ReadSettings(job_.link, head_ - 1, image, JobHooks(progress_, job_.interrupted));
    if (!session_.Settings(read) || Interrupted()) return false;
    if (settings::WriteCheckedFile(path, settings::FormatSettingsText(image)) !=
        settings::WriteResult::kWritten) {
      job_.host.ShowMessage(tool::ErrorBox(ToolText::kCannotCreate));
      return false;
    }
    return true;
  }

  // The images of `type` the head offers, each into its .kimg file and its bitmap.
  bool ReadImagesOfType(int type, const std::string& folder, const std::string& relative,
                        HeadEntry& entry, std::string& problem) {
    const images::ImageTypeInfo& info = images::ImageTypeOf(type);
    images::ImagesFound found;
    if (!session_.Presence(images::FindImages(job_.link, head_ - 1, info.type, found)) ||
        Interrupted()) {
      problem = step_;
      return false;
    }
    plan_.Holds(type, found.mask);
    for (int number = 0; number < info.count; ++number) {
      if (((found.mask >> number) & 1) == 0) continue;
      progress_.BeginOperation(kImageBytes / images::kBlocksPerImage);
      progress_.Range(0, images::kBlocksPerImage);
      const auto read = images::ReadImage(job_.link, head_ - 1, info.type, number, *raw_,
                                          JobHooks(progress_, job_.interrupted));
      if (!session_.Transfer(read) || Interrupted()) {
        problem = step_;
        return false;
      }
      const std::string path = ImagePath(folder, type, number);
      if (!images::WriteImageFile(path, *raw_)) {
        job_.host.ShowMessage(tool::CannotWriteBox(path));
        problem = step_;
        return false;
      }
      const std::string name = relative + "/" + fs::path(path).filename().string();
      if (!Add(entry, name, KindOfType(type), number, kImageBytes, problem)) return false;
      const std::string bitmap = name.substr(0, name.size() - 5) + ".bmp";
      images::RawImageToCanvas(*raw_, *canvas_);
      if (!images::WriteCanvasBitmap(root_ + "/" + bitmap, *canvas_)) {
        job_.host.ShowMessage(tool::CannotWriteBox(root_ + "/" + bitmap));
        problem = Text(ToolText::kBitmapNotWritten, {name}, job_.lang);
        return false;
      }
      if (!Add(entry, bitmap, kKindBitmap, number, 0, problem)) return false;
    }
    return true;
  }

  bool Add(HeadEntry& entry, const std::string& relative, std::string_view kind, int number,
           std::uint64_t moved_bytes, std::string& problem) {
    auto file = Entry(root_, relative, kind, number);
    if (!file) {
      problem = Text(ToolText::kMissing, {root_ + "/" + relative}, job_.lang);
      return false;
    }
    entry.files.push_back(std::move(*file));
    if (moved_bytes > 0) progress_.FilesDone(1, moved_bytes);
    return true;
  }

  BackupJob& job_;
  ProgressTracker& progress_;
  HeadImagePlan plan_{progress_, {job_.bank_images, job_.memory_images}};
  std::string root_;
  HeadSession session_;
  int head_ = 1;
  std::string step_;  // the problem of the step under way
  std::unique_ptr<images::RawImage> raw_ = std::make_unique<images::RawImage>();
  std::unique_ptr<images::Canvas> canvas_ = std::make_unique<images::Canvas>();
};

}  // namespace

std::vector<int> PresentHeads(link::Link& link, const std::string& port, std::string& unit_serial) {
  std::vector<int> heads;
  if (link.OpenLink(port, true) != link::LinkResult::kOk) {
    link.CloseLink(false);
    return heads;
  }
  unit_serial = link.DeviceSerial();
  for (int h = 0; h < 3; ++h) {
    if (link.QueryHead(h) > 0) heads.push_back(h + 1);
  }
  link.CloseLink(!heads.empty());
  return heads;
}

Outcome BackupUnit(BackupJob& job, const std::string& dir, std::string& problem) {
  if (KindOfFolder(dir) != FolderKind::kAbsent && !job.replace) {
    problem = Text(ToolText::kFolderExists, {dir}, job.lang);
    return Outcome::kRefused;
  }
  problem = ReplaceRefusal(dir, false, job.lang);
  if (!problem.empty()) return Outcome::kRefused;
  StagingFolder staging(dir);
  if (!staging.Created()) {
    problem = Text(ToolText::kNoStagingFolder, {dir}, job.lang);
    return Outcome::kFailed;
  }
  ProgressTracker progress(job.progress);
  Manifest manifest;
  manifest.program = job.program;
  manifest.time = UtcNowText();
  manifest.port = job.port;
  manifest.unit_serial = job.unit_serial;
  PlanHeads(progress, job.heads.size(), {job.bank_images, job.memory_images});
  for (const int head : job.heads) {
    HeadEntry entry;
    HeadBackup backup(job, progress, staging.path());
    if (!backup.Run(head, entry, problem)) {
      // Stopped by the user: that, not the step it stopped in, is why nothing was written.
      if (job.interrupted && job.interrupted())
        problem = Text(ToolText::kJobInterrupted, {}, job.lang);
      return Outcome::kFailed;
    }
    manifest.heads.push_back(std::move(entry));
  }
  if (!WriteText(staging.path() + "/" + std::string(kManifestName), ManifestText(manifest)) ||
      !WriteText(staging.path() + "/" + std::string(kIndexName), IndexHtml(manifest, job.lang))) {
    problem = Text(ToolText::kManifestNotWritten, {}, job.lang);
    return Outcome::kFailed;
  }
  if (job.interrupted && job.interrupted()) {
    problem = Text(ToolText::kJobInterrupted, {}, job.lang);
    return Outcome::kFailed;
  }
  return staging.Commit(job.replace, problem, job.lang) ? Outcome::kDone : Outcome::kFailed;
}

std::string ReplaceRefusal(const std::string& dir, bool line, Lang lang) {
  switch (KindOfFolder(dir)) {
    case FolderKind::kAbsent:
    case FolderKind::kEmptyFolder:
      return {};
    case FolderKind::kHeadBackup:
      return line ? Text(ToolText::kIsHeadBackup, {dir}, lang) : std::string();
    case FolderKind::kLineBackup:
      return line ? std::string() : Text(ToolText::kIsLineBackup, {dir}, lang);
    case FolderKind::kOther:
      break;
  }
  return Text(ToolText::kNotABackup, {dir}, lang);
}

}  // namespace kyr::backup
