// The checks of a backup folder before a restore sends anything.
#include <algorithm>
#include <memory>

#include "backup/job_parts.h"
#include "backup/operations.h"
#include "backup/sha256.h"
#include "files/regular_file.h"
#include "images/bitmap.h"
#include "images/ops/image_types.h"
#include "settings/settings_file.h"

namespace kyr::backup {
namespace {

using namespace detail;

constexpr std::uint64_t kMostManifestBytes = 16 * 1024 * 1024;

// The size every file of `kind` has; 0 for a kind a backup does not hold.
std::uint64_t SizeOfKind(std::string_view kind) {
  if (kind == kKindSettings) return settings::kFileBytes;
  if (kind == kKindBank || kind == kKindMemory) return kImageBytes;
  if (kind == kKindBitmap) return images::kCanvasBitmapBytes;
  return 0;
}

// The whole of a file the backup names, when it is a regular file of at most `most` bytes.
std::optional<std::string> ReadBackupFile(const std::string& path, std::uint64_t most,
                                          std::string& problem, Lang lang) {
  files::OpenProblem why{};
  auto content = files::ReadRegularFile(path, most, why);
  if (content) return content;
  const ToolText id = why == files::OpenProblem::kMissing      ? ToolText::kMissing
                      : why == files::OpenProblem::kNotRegular ? ToolText::kNotRegular
                      : why == files::OpenProblem::kTooLarge   ? ToolText::kTooLarge
                                                               : ToolText::kChecksum;
  problem = Text(id, {path}, lang);
  return std::nullopt;
}

// The entries of one head hold what a restore of it needs and nothing it cannot write: one
// settings file where the head's settings belong, known kinds, and each image once with a
// number its type has.
bool CheckEntries(const HeadEntry& entry, std::string& problem, Lang lang) {
  const std::string head = std::to_string(entry.head);
  const std::string settings_name = HeadFolder(entry.head) + "/" + std::string(kSettingsName);
  std::vector<std::string> seen;
  for (const FileEntry& file : entry.files) {
    if (SizeOfKind(file.kind) == 0) {
      problem = Text(ToolText::kUnknownKind, {head, file.name, file.kind}, lang);
      return false;
    }
    if (file.kind == kKindSettings) {
      if (file.name != settings_name) {
        problem = Text(ToolText::kSettingsPlace, {head, file.name, settings_name}, lang);
        return false;
      }
    } else {
      const int count =
          images::ImageTypeOf(file.kind == kKindMemory ? kTypeMemory : kTypeBank).count;
      if (file.number < 0 || file.number >= count) {
        problem =
            Text(ToolText::kNumberOutside,
                 {head, file.name, std::to_string(file.number), std::to_string(count - 1)}, lang);
        return false;
      }
    }
    // A bitmap's number does not tell bank from memory; its name is what must be unique.
    const std::string key = file.kind == kKindBitmap
                                ? file.kind + ":" + file.name
                                : file.kind + ":" + std::to_string(file.number);
    if (std::find(seen.begin(), seen.end(), key) != seen.end()) {
      problem = Text(ToolText::kImageTwice, {head, file.name}, lang);
      return false;
    }
    seen.push_back(key);
  }
  return true;
}

// The settings file's model code matches the manifest, and its version can be converted.
bool CheckSettings(const HeadEntry& entry, const std::string& path, std::string& problem,
                   Lang lang) {
  auto image = std::make_unique<settings::SettingsImage>();
  if (settings::ReadSettingsFile(path, *image) != settings::ReadResult::kComplete) {
    problem = Text(ToolText::kChecksum, {path}, lang);
    return false;
  }
  const int model = settings::ModelCode(*image);
  const int version = settings::SettingsVersion(*image);
  if (model != entry.model_code || model < 1 || model > 3) {
    problem =
        Text(ToolText::kModelMismatch,
             {std::to_string(entry.head), std::to_string(model), std::to_string(entry.model_code)},
             lang);
    return false;
  }
  if (model == settings::kModelKyrTc && (version < 1 || version > settings::kLatestVersion)) {
    problem = Text(ToolText::kNotConvertible, {std::to_string(entry.head), std::to_string(version)},
                   lang);
    return false;
  }
  return true;
}

bool CheckFile(const std::string& dir, const FileEntry& file, std::string& problem, Lang lang) {
  const std::string path = dir + "/" + file.name;
  const std::uint64_t expected = SizeOfKind(file.kind);
  // A file longer than its kind is refused without being read whole (a link to /dev/zero
  // is no regular file; a huge regular file is not read into memory).
  const auto content = ReadBackupFile(path, expected + 1, problem, lang);
  if (!content) return false;
  if (content->size() != expected) {
    problem = Text(ToolText::kWrongSize,
                   {path, std::to_string(content->size()), std::to_string(expected)}, lang);
    return false;
  }
  if (content->size() != file.size || Sha256Hex(*content) != file.sha256) {
    problem = Text(ToolText::kChecksum, {path}, lang);
    return false;
  }
  return true;
}

}  // namespace

std::optional<Manifest> PreflightRestore(const std::string& dir, std::optional<int> head,
                                         std::string& problem, Lang lang) {
  const std::string manifest_path = dir + "/" + std::string(kManifestName);
  const auto text = ReadBackupFile(manifest_path, kMostManifestBytes, problem, lang);
  if (!text) return std::nullopt;
  std::string reason;
  std::optional<Manifest> manifest = ParseManifest(*text, reason);
  if (!manifest) {
    problem = Text(ToolText::kNotManifest, {manifest_path, reason}, lang);
    return std::nullopt;
  }
  if (manifest->heads.empty()) {
    problem = Text(ToolText::kNoHead, {}, lang);
    return std::nullopt;
  }
  for (auto it = manifest->heads.begin(); it != manifest->heads.end(); ++it) {
    if (std::any_of(manifest->heads.begin(), it,
                    [&](const HeadEntry& other) { return other.head == it->head; })) {
      problem = Text(ToolText::kHeadTwice, {std::to_string(it->head)}, lang);
      return std::nullopt;
    }
  }
  if (head) {
    std::erase_if(manifest->heads, [&](const HeadEntry& entry) { return entry.head != *head; });
    if (manifest->heads.empty()) {
      problem = Text(ToolText::kNoSuchHead, {std::to_string(*head)}, lang);
      return std::nullopt;
    }
  }
  for (const HeadEntry& entry : manifest->heads) {
    if (!CheckEntries(entry, problem, lang)) return std::nullopt;
    bool has_settings = false;
    for (const FileEntry& file : entry.files) {
      if (!CheckFile(dir, file, problem, lang)) return std::nullopt;
      if (file.kind != kKindSettings) continue;
      has_settings = true;
      if (!CheckSettings(entry, dir + "/" + file.name, problem, lang)) return std::nullopt;
    }
    if (!has_settings) {
      problem = Text(ToolText::kMissing,
                     {dir + "/" + HeadFolder(entry.head) + "/" + std::string(kSettingsName)}, lang);
      return std::nullopt;
    }
  }
  return manifest;
}

}  // namespace kyr::backup
