// Backup of a head unit: each head's settings, its registered bank images and its memory
// images, with a bitmap of each image, into a staging folder that becomes the backup only
// when everything arrived.
#include <filesystem>
#include <fstream>
#include <memory>

#include "backup/job_parts.h"
#include "backup/operations.h"
#include "backup/sha256.h"
#include "images/canvas.h"
#include "images/ops/image_ops.h"
#include "images/ops/image_types.h"
#include "images/ops/save_bitmap.h"
#include "settings/image_presence.h"
#include "settings/settings_file.h"
#include "tool/tool_state.h"
#include "transfer/transfer.h"

namespace kyr::backup {
namespace {

namespace fs = std::filesystem;
using namespace detail;

// The images of `type` the settings say the head holds.
std::uint64_t PresentImages(const settings::SettingsImage& image, int type) {
  if (type == kTypeBank) return settings::RegisteredBankImages(image);
  const int count = images::ImageTypeOf(type).count;
  return settings::MemoryImagesPresent(image) & ((1ULL << count) - 1);
}

int Count(std::uint64_t mask) {
  return static_cast<int>(__builtin_popcountll(mask));
}

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

class HeadBackup {
 public:
  HeadBackup(BackupJob& job, OperationHost& host, ProgressTracker& progress, std::string root)
      : job_(job), host_(host), progress_(progress), root_(std::move(root)) {}

  bool Run(int head, HeadEntry& entry, std::string& problem) {
    entry.head = head;
    const std::string head_text = std::to_string(head);
    const std::string relative = HeadFolder(head);
    const std::string folder = root_ + "/" + relative;
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) {
      problem = Text(ToolText::kCannotCreateFolder, {folder}, job_.lang);
      return false;
    }
    const std::string settings_path = folder + "/" + std::string(kSettingsName);
    progress_.AddWork(1, kSettingsBytes);
    progress_.BeginOperation(kSettingsBytes / 64);
    tool::ToolState state;
    transfer::TransferContext ctx{host_, job_.link, state, job_.port, head - 1};
    if (transfer::ReadAllSettingsTo(ctx, settings_path) != transfer::Outcome::kDone ||
        host_.Interrupted()) {
      problem = Text(ToolText::kSettingsNotRead, {head_text}, job_.lang);
      return false;
    }
    auto image = std::make_unique<settings::SettingsImage>();
    if (settings::ReadSettingsFile(settings_path, *image) != settings::ReadResult::kComplete) {
      problem = Text(ToolText::kSettingsIncomplete, {head_text}, job_.lang);
      return false;
    }
    entry.model_code = settings::ModelCode(*image);
    entry.settings_version = settings::SettingsVersion(*image);
    if (!Add(entry, relative + "/" + std::string(kSettingsName), kKindSettings, -1, kSettingsBytes,
             problem))
      return false;

    for (const int type : {kTypeBank, kTypeMemory}) {
      if (!(type == kTypeBank ? job_.bank_images : job_.memory_images)) continue;
      const std::uint64_t expected = PresentImages(*image, type);
      if (expected == 0) continue;
      progress_.AddWork(Count(expected), kImageBytes * static_cast<std::uint64_t>(Count(expected)));
      if (!ReadImagesOfType(head, type, folder, relative, entry, problem)) return false;
    }
    return true;
  }

 private:
  bool ReadImagesOfType(int head, int type, const std::string& folder, const std::string& relative,
                        HeadEntry& entry, std::string& problem) {
    auto state = std::make_unique<images::ImageState>();
    host_.save_path = folder + "/" + std::string(KindOfType(type)) + ".kimg";
    host_.selection.reset();
    progress_.BeginOperation(256);
    images::ImageOpsContext ctx{host_, job_.link, *state, job_.port, head - 1, type};
    if (images::ReadImages(ctx) != images::Outcome::kDone || host_.Interrupted()) {
      problem = Text(ToolText::kImagesNotRead, {std::to_string(head), KindWord(type, job_.lang)},
                     job_.lang);
      return false;
    }
    for (int number = 0; number < images::ImageTypeOf(type).count; ++number) {
      const std::string path = ImagePath(folder, type, number);
      if (!fs::exists(path)) continue;
      const std::string name = relative + "/" + fs::path(path).filename().string();
      if (!Add(entry, name, KindOfType(type), number, kImageBytes, problem)) return false;
      if (!SaveBitmapBeside(path, state->image, state->canvas)) {
        problem = Text(ToolText::kBitmapNotWritten, {name}, job_.lang);
        return false;
      }
      const std::string bitmap = name.substr(0, name.size() - 5) + ".bmp";
      if (!Add(entry, bitmap, kKindBitmap, number, 0, problem)) return false;
    }
    return true;
  }

  bool SaveBitmapBeside(const std::string& kimg, images::RawImage& raw, images::Canvas& canvas) {
    if (images::LoadImageFile(kimg, raw, canvas) != images::ImageFileResult::kOk) return false;
    const std::string bmp = kimg.substr(0, kimg.size() - 5) + ".bmp";
    return images::SaveCanvasBitmapAs(host_, canvas, bmp) == images::Outcome::kDone;
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
  OperationHost& host_;
  ProgressTracker& progress_;
  std::string root_;
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
  OperationHost host(job.host, progress, job.interrupted);
  Manifest manifest;
  manifest.program = job.program;
  manifest.time = UtcNowText();
  manifest.port = job.port;
  manifest.unit_serial = job.unit_serial;
  for (const int head : job.heads) {
    HeadEntry entry;
    HeadBackup backup(job, host, progress, staging.path());
    if (!backup.Run(head, entry, problem)) return Outcome::kFailed;
    manifest.heads.push_back(std::move(entry));
  }
  if (!WriteText(staging.path() + "/" + std::string(kManifestName), ManifestText(manifest)) ||
      !WriteText(staging.path() + "/" + std::string(kIndexName), IndexHtml(manifest, job.lang))) {
    problem = Text(ToolText::kManifestNotWritten, {}, job.lang);
    return Outcome::kFailed;
  }
  if (host.Interrupted()) {
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
