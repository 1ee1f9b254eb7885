// Restore of a head unit: each head's settings (converted to the head's settings version as
// Write Settings does) and its images written back onto the same head number, and read back
// when the job verifies.
#include <memory>

#include "backup/job_parts.h"
#include "backup/operations.h"
#include "backup/verify.h"
#include "images/ops/image_ops.h"
#include "tool/tool_state.h"
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

}  // namespace

bool ReadHeadSettings(tool::ToolHost& host, link::Link& link, const std::string& port, int head,
                      const std::string& path) {
  ProgressTracker progress(nullptr);
  OperationHost quiet(host, progress, nullptr);
  tool::ToolState state;
  transfer::TransferContext ctx{quiet, link, state, port, head - 1};
  return transfer::ReadAllSettingsTo(ctx, path) == transfer::Outcome::kDone;
}

Outcome RestoreUnit(RestoreJob& job, const std::string& dir, const Manifest& manifest,
                    std::string& problem) {
  ProgressTracker progress(job.progress);
  OperationHost host(job.host, progress, job.interrupted);
  for (const HeadEntry& entry : manifest.heads) {
    const std::size_t files =
        job.images ? FilesOfType(entry, kTypeBank).size() + FilesOfType(entry, kTypeMemory).size()
                   : 0;
    progress.AddWork(1 + static_cast<int>(files), kSettingsBytes + kImageBytes * files);
  }
  for (const HeadEntry& entry : manifest.heads) {
    const std::string head_text = std::to_string(entry.head);
    tool::ToolState state;
    transfer::TransferContext ctx{host, job.link, state, job.port, entry.head - 1};
    transfer::WriteOptions options;
    options.verify = job.verify;
    progress.BeginOperation(128);
    const std::string settings =
        dir + "/" + HeadFolder(entry.head) + "/" + std::string(kSettingsName);
    if (transfer::WriteSettingsFrom(ctx, settings, tool::WriteChoices{}, options) !=
        transfer::Outcome::kDone) {
      problem = Text(ToolText::kSettingsNotWritten, {head_text}, job.lang);
      return Outcome::kFailed;
    }
    progress.FilesDone(1, kSettingsBytes);
    if (!job.images) continue;
    for (const int type : {kTypeBank, kTypeMemory}) {
      const std::vector<const FileEntry*> files = FilesOfType(entry, type);
      if (files.empty()) continue;
      host.open_paths.clear();
      for (const FileEntry* file : files) host.open_paths.push_back(dir + "/" + file->name);
      host.number = files.front()->number;
      auto image_state = std::make_unique<images::ImageState>();
      images::ImageOpsContext image_ctx{host,     job.link,       *image_state,
                                        job.port, entry.head - 1, type};
      progress.BeginOperation(256);
      const std::string kind = KindWord(type, job.lang);
      if (images::WriteImages(image_ctx) != images::Outcome::kDone || host.Interrupted()) {
        problem = Text(ToolText::kImagesNotWritten, {head_text, kind}, job.lang);
        return Outcome::kFailed;
      }
      progress.FilesDone(static_cast<int>(files.size()), kImageBytes * files.size());
      if (job.verify && !VerifyImages(job, host, entry.head, type, files, dir, problem)) {
        if (!problem.empty()) return Outcome::kDiffers;
        problem = Text(ToolText::kImagesNotReadBack, {head_text, kind}, job.lang);
        return Outcome::kFailed;
      }
    }
  }
  return Outcome::kDone;
}

}  // namespace kyr::backup
