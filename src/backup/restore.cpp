// Restore of a head unit: each head's settings (converted to the head's settings version as
// Write Settings does) and its images written back onto the same head number by the head
// services over one link session per head, and read back when the job verifies.
#include <memory>

#include "backup/job_parts.h"
#include "backup/operations.h"
#include "backup/verify.h"
#include "images/ops/image_types.h"
#include "images/ops/services.h"
#include "settings/settings_file.h"
#include "tool/messages.h"
#include "transfer/services.h"
#include "transfer/transfer.h"

namespace kyr::backup {
namespace {

using namespace detail;

std::vector<const FileEntry*> FilesOfType(const HeadEntry& entry, int type) {
  std::vector<const FileEntry*> files;
  for (const FileEntry& file : entry.files) {
    if (file.kind == KindOfType(type)) files.push_back(&file);
  }
  return files;
}

// One head's part of the restore.
class HeadRestore {
 public:
  HeadRestore(RestoreJob& job, ProgressTracker& progress, const std::string& dir, int head)
      : job_(job), progress_(progress), dir_(dir), head_(head), session_(job.host, job.link) {}

  Outcome Run(const HeadEntry& entry, std::string& problem) {
    const std::string head_text = std::to_string(head_);
    if (!WriteSettingsFile(dir_ + "/" + HeadFolder(head_) + "/" + std::string(kSettingsName))) {
      problem = Text(ToolText::kSettingsNotWritten, {head_text}, job_.lang);
      return Outcome::kFailed;
    }
    progress_.FilesDone(1, kSettingsBytes);
    for (const int type : {kTypeBank, kTypeMemory}) {
      const std::vector<const FileEntry*> files =
          job_.images ? FilesOfType(entry, type) : std::vector<const FileEntry*>{};
      if (files.empty()) continue;
      const std::string kind = KindWord(type, job_.lang);
      if (!WriteImages(type, files)) {
        problem = Text(ToolText::kImagesNotWritten, {head_text, kind}, job_.lang);
        return Outcome::kFailed;
      }
      if (job_.verify && !VerifyImages(job_, session_, head_, type, files, dir_, problem)) {
        if (!problem.empty()) return Outcome::kDiffers;
        problem = Text(ToolText::kImagesNotReadBack, {head_text, kind}, job_.lang);
        return Outcome::kFailed;
      }
    }
    if (!session_.Close()) {
      problem = Text(ToolText::kSettingsNotWritten, {head_text}, job_.lang);
      return Outcome::kFailed;
    }
    return Outcome::kDone;
  }

 private:
  bool Interrupted() const { return job_.interrupted && job_.interrupted(); }

  bool WriteSettingsFile(const std::string& path) {
    auto image = std::make_unique<settings::SettingsImage>();
    int first_incomplete = -1;
    if (settings::ReadToolSettingsFile(path, *image, first_incomplete) < 0 ||
        first_incomplete >= 0) {
      job_.host.ShowMessage(tool::ErrorBox(ToolText::kCannotOpenFile));
      return false;
    }
    if (!session_.Open(job_.port, head_)) return false;
    progress_.BeginOperation(kSettingsBytes / kSettingsWriteBlocks);
    progress_.Range(0, kSettingsWriteBlocks);
    transfer::WriteOptions options;
    options.verify = job_.verify;
    transfer::WriteReport report;
    const auto written =
        transfer::WriteSettings(job_.link, head_ - 1, *image, tool::WriteChoices{}, options,
                                JobHooks(progress_, job_.interrupted), &report);
    std::optional<tool::Message> box;
    if (written == transfer::SettingsResult::kVerifyDifference)
      box = transfer::VerifyDifferenceBox(report.difference);
    return session_.Settings(written, box);
  }

  bool WriteImages(int type, const std::vector<const FileEntry*>& files) {
    const images::ImageTypeInfo& info = images::ImageTypeOf(type);
    auto image = std::make_unique<images::RawImage>();
    for (const FileEntry* file : files) {
      const images::ImageFileResult loaded = images::ReadImageFile(dir_ + "/" + file->name, *image);
      if (loaded != images::ImageFileResult::kOk) {
        job_.host.ShowMessage(tool::ErrorBox(loaded == images::ImageFileResult::kCannotOpen
                                                 ? ToolText::kCannotOpenFile
                                                 : ToolText::kCannotOpenImage));
        return false;
      }
      progress_.BeginOperation(kImageBytes / images::kBlocksPerImage);
      progress_.Range(0, images::kBlocksPerImage);
      const auto written = images::WriteImage(job_.link, head_ - 1, info.type, file->number, *image,
                                              JobHooks(progress_, job_.interrupted));
      if (!session_.Transfer(written) || Interrupted()) return false;
      progress_.FilesDone(1, kImageBytes);
    }
    return true;
  }

  RestoreJob& job_;
  ProgressTracker& progress_;
  const std::string& dir_;
  int head_;
  HeadSession session_;
};

}  // namespace

bool ReadHeadSettings(tool::ToolHost& host, link::Link& link, const std::string& port, int head,
                      settings::SettingsImage& image) {
  HeadSession session(host, link);
  if (!session.Open(port, head)) return false;
  return session.Settings(transfer::ReadSettings(link, head - 1, image)) && session.Close();
}

Outcome RestoreUnit(RestoreJob& job, const std::string& dir, const Manifest& manifest,
                    std::string& problem) {
  ProgressTracker progress(job.progress);
  for (const HeadEntry& entry : manifest.heads) {
    const std::size_t files =
        job.images ? FilesOfType(entry, kTypeBank).size() + FilesOfType(entry, kTypeMemory).size()
                   : 0;
    progress.AddWork(1 + static_cast<int>(files), kSettingsBytes + kImageBytes * files);
  }
  for (const HeadEntry& entry : manifest.heads) {
    HeadRestore restore(job, progress, dir, entry.head);
    if (const Outcome outcome = restore.Run(entry, problem); outcome != Outcome::kDone)
      return outcome;
  }
  return Outcome::kDone;
}

}  // namespace kyr::backup
