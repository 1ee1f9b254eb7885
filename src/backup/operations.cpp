#include "backup/operations.h"

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

#include "backup/sha256.h"
#include "files/regular_file.h"
#include "images/bitmap.h"
#include "images/canvas.h"
#include "images/ops/image_ops.h"
#include "images/ops/image_types.h"
#include "images/ops/save_bitmap.h"
#include "images/raw_image.h"
#include "settings/settings_file.h"
#include "tool/tool_state.h"
#include "transfer/transfer.h"

namespace kyr::backup {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kTypeBank = 0;  // Image Type box indexes
constexpr int kTypeMemory = 1;
constexpr std::uint64_t kSettingsBytes = 2 * 8192;
constexpr std::uint64_t kImageBytes = 131072;
constexpr int kBankRegistrationWord = 5;   // bank word 5 bit 15: the bank is unregistered
constexpr int kMemoryPresenceWord = 8138;  // common words 10 and 11: bit k clear = image k
constexpr int kMemoryImages = 20;

// Turns the progress of the operations run one after another into one progress of the job.
class ProgressTracker {
 public:
  explicit ProgressTracker(ProgressSink sink) : sink_(std::move(sink)), start_(Clock::now()) {}

  void AddWork(int files, std::uint64_t bytes) {
    total_.files_total += files;
    total_.bytes_total += bytes;
    Emit(done_bytes_);
  }
  // The next operation moves `step_bytes` per progress position.
  void BeginOperation(std::uint64_t step_bytes) {
    step_bytes_ = step_bytes;
    op_rounds_ = 0;
    last_position_ = -1;
    range_ = 0;
  }
  void Range(int low, int high) { range_ = std::max(0, high - low); }
  void Position(int position) {
    if (position < last_position_) ++op_rounds_;  // the next image of the operation began
    last_position_ = position;
    const auto steps = static_cast<std::uint64_t>(op_rounds_) * static_cast<std::uint64_t>(range_) +
                       static_cast<std::uint64_t>(position + 1);
    Emit(done_bytes_ + steps * step_bytes_);
  }
  void FilesDone(int files, std::uint64_t bytes) {
    total_.files_done += files;
    done_bytes_ += bytes;
    Emit(done_bytes_);
  }

 private:
  void Emit(std::uint64_t bytes) {
    if (!sink_) return;
    Progress progress = total_;
    progress.bytes_done = std::min(bytes, progress.bytes_total);
    const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
    if (progress.bytes_done > 0 && elapsed > 1.0) {
      progress.seconds_left = elapsed *
                              static_cast<double>(progress.bytes_total - progress.bytes_done) /
                              static_cast<double>(progress.bytes_done);
    }
    sink_(progress);
  }

  ProgressSink sink_;
  Clock::time_point start_;
  Progress total_;
  std::uint64_t done_bytes_ = 0;
  std::uint64_t step_bytes_ = 0;
  int op_rounds_ = 0;
  int last_position_ = -1;
  int range_ = 0;
};

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

  tool::Answer ShowMessage(const tool::Message& message) override {
    if (message.buttons == tool::Buttons::YesNo || message.buttons == tool::Buttons::YesNoCancel)
      return tool::Answer::Yes;
    if (message.icon == tool::Icon::Information) return tool::Answer::Ok;
    return user_.ShowMessage(message);
  }
  std::optional<std::string> AskSaveFile(const std::vector<tool::FileFilter>&,
                                         const std::string&) override {
    return save_path;
  }
  std::optional<std::string> AskOpenFile(const std::vector<tool::FileFilter>&,
                                         const std::string&) override {
    if (open_paths.empty()) return std::nullopt;
    return open_paths.front();
  }
  std::vector<std::string> AskOpenFiles(const std::vector<tool::FileFilter>&) override {
    return open_paths;
  }
  void SetProgressRange(int low, int high) override { progress_.Range(low, high); }
  void SetProgressPosition(int position) override { progress_.Position(position); }
  void ProcessPendingEvents(int) override {}
  bool AskImageSelection(const tool::ImageSelectionDialog&, std::uint64_t& mask) override {
    if (selection) mask = *selection;
    return true;
  }
  bool AskImageNumber(int, int& chosen) override {
    if (number) chosen = *number;
    return true;
  }
  bool AbortRequested() override { return Interrupted(); }
  bool Interrupted() const { return interrupted_ && interrupted_(); }

 private:
  tool::ToolHost& user_;
  ProgressTracker& progress_;
  std::function<bool()> interrupted_;
};

std::string_view KindOfType(int type) {
  return type == kTypeBank ? kKindBank : kKindMemory;
}

std::string ImagePath(const std::string& folder, int type, int number) {
  char name[32];
  std::snprintf(name, sizeof name, "%s.%02d.kimg", std::string(KindOfType(type)).c_str(), number);
  return folder + "/" + name;
}

std::uint64_t RegisteredMask(const settings::SettingsImage& image, int type) {
  std::uint64_t mask = 0;
  if (type == kTypeBank) {
    for (int bank = 0; bank < settings::kBankCount; ++bank) {
      if ((image[static_cast<std::size_t>(settings::BankWord(bank, kBankRegistrationWord))] &
           0x8000) == 0)
        mask |= 1ULL << bank;
    }
    return mask;
  }
  const std::uint32_t absent =
      image[kMemoryPresenceWord] | static_cast<std::uint32_t>(image[kMemoryPresenceWord + 1]) << 16;
  return ~static_cast<std::uint64_t>(absent) & ((1ULL << kMemoryImages) - 1);
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

std::string Tool(ToolText id, const std::vector<std::string>& args, Lang lang) {
  return FormatMessage(LoadString(id, lang), args);
}

class HeadBackup {
 public:
  HeadBackup(BackupJob& job, OperationHost& host, ProgressTracker& progress, std::string root)
      : job_(job), host_(host), progress_(progress), root_(std::move(root)) {}

  bool Run(int head, HeadEntry& entry, std::string& problem) {
    entry.head = head;
    const std::string relative = HeadFolder(head);
    const std::string folder = root_ + "/" + relative;
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) {
      problem = "cannot create " + folder;
      return false;
    }
    const std::string settings_path = folder + "/" + std::string(kSettingsName);
    progress_.AddWork(1, kSettingsBytes);
    progress_.BeginOperation(kSettingsBytes / 64);
    if (!ReadHeadSettingsThrough(host_, head, settings_path) || host_.Interrupted()) {
      problem = "head " + std::to_string(head) + ": the settings were not read";
      return false;
    }
    auto image = std::make_unique<settings::SettingsImage>();
    if (settings::ReadSettingsFile(settings_path, *image) != settings::kReadComplete) {
      problem = "head " + std::to_string(head) + ": the settings file is incomplete";
      return false;
    }
    entry.model_code = settings::ModelCode(*image);
    entry.settings_version = settings::SettingsVersion(*image);
    if (!Add(entry, relative + "/" + std::string(kSettingsName), kKindSettings, -1, kSettingsBytes))
      return false;

    for (const int type : {kTypeBank, kTypeMemory}) {
      if (!(type == kTypeBank ? job_.bank_images : job_.memory_images)) continue;
      const std::uint64_t expected = RegisteredMask(*image, type);
      if (expected == 0) continue;
      progress_.AddWork(Count(expected), kImageBytes * static_cast<std::uint64_t>(Count(expected)));
      if (!ReadImagesOfType(head, type, folder, relative, entry, problem)) return false;
    }
    return true;
  }

  bool ReadHeadSettingsThrough(tool::ToolHost& host, int head, const std::string& path) {
    tool::ToolState state;
    transfer::TransferContext ctx{host, job_.link, state, job_.port, head - 1};
    return transfer::ReadAllSettingsTo(ctx, path) == transfer::Outcome::kDone;
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
      problem = "head " + std::to_string(head) + ": the " + std::string(KindOfType(type)) +
                " images were not read";
      return false;
    }
    for (int number = 0; number < images::ImageTypeOf(type).count; ++number) {
      const std::string path = ImagePath(folder, type, number);
      if (!fs::exists(path)) continue;
      const std::string name = relative + "/" + fs::path(path).filename().string();
      if (!Add(entry, name, KindOfType(type), number, kImageBytes)) return false;
      if (!SaveBitmapBeside(path, state->image, state->canvas)) {
        problem = "cannot write the bitmap of " + name;
        return false;
      }
      const std::string bitmap = name.substr(0, name.size() - 5) + ".bmp";
      if (!Add(entry, bitmap, kKindBitmap, number, 0)) return false;
    }
    return true;
  }

  bool SaveBitmapBeside(const std::string& kimg, images::RawImage& raw, images::Canvas& canvas) {
    if (images::LoadImageFile(kimg, raw, canvas) != images::ImageFileResult::kOk) return false;
    const std::string bmp = kimg.substr(0, kimg.size() - 5) + ".bmp";
    return images::SaveCanvasBitmapAs(host_, canvas, bmp) == images::Outcome::kDone;
  }

  bool Add(HeadEntry& entry, const std::string& relative, std::string_view kind, int number,
           std::uint64_t moved_bytes) {
    auto file = Entry(root_, relative, kind, number);
    if (!file) return false;
    entry.files.push_back(std::move(*file));
    if (moved_bytes > 0) progress_.FilesDone(1, moved_bytes);
    return true;
  }

  BackupJob& job_;
  OperationHost& host_;
  ProgressTracker& progress_;
  std::string root_;
};

// Reads `type` images of `numbers` back into a scratch folder and compares them byte by byte
// with the backup's files; the first difference is described in `problem`.
bool VerifyImages(RestoreJob& job, OperationHost& host, int head, int type,
                  const std::vector<const FileEntry*>& files, const std::string& dir,
                  std::string& problem) {
  std::string scratch = (fs::temp_directory_path() / "kyr-verify-XXXXXX").string();
  if (::mkdtemp(scratch.data()) == nullptr) return false;
  struct Remove {
    std::string path;
    ~Remove() {
      std::error_code error;
      fs::remove_all(path, error);
    }
  } remove{scratch};
  std::uint64_t mask = 0;
  for (const FileEntry* file : files) mask |= 1ULL << file->number;
  host.save_path = scratch + "/" + std::string(KindOfType(type)) + ".kimg";
  host.selection = mask;
  auto state = std::make_unique<images::ImageState>();
  images::ImageOpsContext ctx{host, job.link, *state, job.port, head - 1, type};
  if (images::ReadImages(ctx) != images::Outcome::kDone) return false;
  for (const FileEntry* file : files) {
    std::ifstream wanted_in(dir + "/" + file->name, std::ios::binary);
    std::ifstream got_in(ImagePath(scratch, type, file->number), std::ios::binary);
    const std::string wanted{std::istreambuf_iterator<char>(wanted_in), {}};
    const std::string got{std::istreambuf_iterator<char>(got_in), {}};
    if (wanted == got) continue;
    const auto mismatch = std::mismatch(wanted.begin(), wanted.end(), got.begin(), got.end());
    problem = Tool(ToolText::kImageDiffers,
                   {std::to_string(head), std::string(KindOfType(type)),
                    std::to_string(file->number), std::to_string(mismatch.first - wanted.begin())},
                   CurrentLanguage());
    return false;
  }
  return true;
}

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

bool ReadHeadSettings(tool::ToolHost& host, link::Link& link, const std::string& port, int head,
                      const std::string& path) {
  ProgressTracker progress(nullptr);
  OperationHost quiet(host, progress, nullptr);
  tool::ToolState state;
  transfer::TransferContext ctx{quiet, link, state, port, head - 1};
  return transfer::ReadAllSettingsTo(ctx, path) == transfer::Outcome::kDone;
}

Outcome BackupUnit(BackupJob& job, const std::string& dir, std::string& problem) {
  if (KindOfFolder(dir) != FolderKind::kAbsent && !job.replace) {
    problem = dir + " exists";
    return Outcome::kRefused;
  }
  problem = ReplaceRefusal(dir, false, job.lang);
  if (!problem.empty()) return Outcome::kRefused;
  StagingFolder staging(dir);
  if (!staging.Created()) {
    problem = "cannot create a folder beside " + dir;
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
    problem = "cannot write the manifest";
    return Outcome::kFailed;
  }
  if (host.Interrupted()) {
    problem = "interrupted";
    return Outcome::kFailed;
  }
  return staging.Commit(job.replace, problem) ? Outcome::kDone : Outcome::kFailed;
}

std::string ReplaceRefusal(const std::string& dir, bool line, Lang lang) {
  switch (KindOfFolder(dir)) {
    case FolderKind::kAbsent:
    case FolderKind::kEmptyFolder:
      return {};
    case FolderKind::kHeadBackup:
      return line ? Tool(ToolText::kIsHeadBackup, {dir}, lang) : std::string();
    case FolderKind::kLineBackup:
      return line ? std::string() : Tool(ToolText::kIsLineBackup, {dir}, lang);
    case FolderKind::kOther:
      break;
  }
  return Tool(ToolText::kNotABackup, {dir}, lang);
}

namespace {

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
  problem = Tool(id, {path}, lang);
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
      problem = Tool(ToolText::kUnknownKind, {head, file.name, file.kind}, lang);
      return false;
    }
    if (file.kind == kKindSettings) {
      if (file.name != settings_name) {
        problem = Tool(ToolText::kSettingsPlace, {head, file.name, settings_name}, lang);
        return false;
      }
    } else {
      const int count =
          images::ImageTypeOf(file.kind == kKindMemory ? kTypeMemory : kTypeBank).count;
      if (file.number < 0 || file.number >= count) {
        problem =
            Tool(ToolText::kNumberOutside,
                 {head, file.name, std::to_string(file.number), std::to_string(count - 1)}, lang);
        return false;
      }
    }
    // A bitmap's number does not tell bank from memory; its name is what must be unique.
    const std::string key = file.kind == kKindBitmap
                                ? file.kind + ":" + file.name
                                : file.kind + ":" + std::to_string(file.number);
    if (std::find(seen.begin(), seen.end(), key) != seen.end()) {
      problem = Tool(ToolText::kImageTwice, {head, file.name}, lang);
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
  if (settings::ReadSettingsFile(path, *image) != settings::kReadComplete) {
    problem = Tool(ToolText::kChecksum, {path}, lang);
    return false;
  }
  const int model = settings::ModelCode(*image);
  const int version = settings::SettingsVersion(*image);
  if (model != entry.model_code || model < 1 || model > 3) {
    problem =
        Tool(ToolText::kModelMismatch,
             {std::to_string(entry.head), std::to_string(model), std::to_string(entry.model_code)},
             lang);
    return false;
  }
  if (model == settings::kModelKyrTc && (version < 1 || version > settings::kLatestVersion)) {
    problem = Tool(ToolText::kNotConvertible, {std::to_string(entry.head), std::to_string(version)},
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
    problem = Tool(ToolText::kWrongSize,
                   {path, std::to_string(content->size()), std::to_string(expected)}, lang);
    return false;
  }
  if (content->size() != file.size || Sha256Hex(*content) != file.sha256) {
    problem = Tool(ToolText::kChecksum, {path}, lang);
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
    problem = Tool(ToolText::kNotManifest, {manifest_path, reason}, lang);
    return std::nullopt;
  }
  if (manifest->heads.empty()) {
    problem = Tool(ToolText::kNoHead, {}, lang);
    return std::nullopt;
  }
  for (auto it = manifest->heads.begin(); it != manifest->heads.end(); ++it) {
    if (std::any_of(manifest->heads.begin(), it,
                    [&](const HeadEntry& other) { return other.head == it->head; })) {
      problem = Tool(ToolText::kHeadTwice, {std::to_string(it->head)}, lang);
      return std::nullopt;
    }
  }
  if (head) {
    std::erase_if(manifest->heads, [&](const HeadEntry& entry) { return entry.head != *head; });
    if (manifest->heads.empty()) {
      problem = Tool(ToolText::kNoSuchHead, {std::to_string(*head)}, lang);
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
      problem = Tool(ToolText::kMissing,
                     {dir + "/" + HeadFolder(entry.head) + "/" + std::string(kSettingsName)}, lang);
      return std::nullopt;
    }
  }
  return manifest;
}

Outcome RestoreUnit(RestoreJob& job, const std::string& dir, const Manifest& manifest,
                    std::string& problem) {
  ProgressTracker progress(job.progress);
  OperationHost host(job.host, progress, job.interrupted);
  for (const HeadEntry& entry : manifest.heads) {
    std::vector<const FileEntry*> by_type[2];
    for (const FileEntry& file : entry.files) {
      if (file.kind == kKindBank) by_type[kTypeBank].push_back(&file);
      if (file.kind == kKindMemory) by_type[kTypeMemory].push_back(&file);
    }
    const int images = job.images ? static_cast<int>(by_type[0].size() + by_type[1].size()) : 0;
    progress.AddWork(1 + images, kSettingsBytes + kImageBytes * static_cast<std::uint64_t>(images));
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
      problem = "head " + head_text + ": the settings were not written";
      return Outcome::kFailed;
    }
    progress.FilesDone(1, kSettingsBytes);
    if (!job.images) continue;
    for (const int type : {kTypeBank, kTypeMemory}) {
      std::vector<const FileEntry*> files;
      for (const FileEntry& file : entry.files) {
        if (file.kind == KindOfType(type)) files.push_back(&file);
      }
      if (files.empty()) continue;
      host.open_paths.clear();
      for (const FileEntry* file : files) host.open_paths.push_back(dir + "/" + file->name);
      host.number = files.front()->number;
      auto image_state = std::make_unique<images::ImageState>();
      images::ImageOpsContext image_ctx{host,     job.link,       *image_state,
                                        job.port, entry.head - 1, type};
      progress.BeginOperation(256);
      if (images::WriteImages(image_ctx) != images::Outcome::kDone || host.Interrupted()) {
        problem = "head " + head_text + ": the " + std::string(KindOfType(type)) +
                  " images were not written";
        return Outcome::kFailed;
      }
      progress.FilesDone(static_cast<int>(files.size()), kImageBytes * files.size());
      if (job.verify && !VerifyImages(job, host, entry.head, type, files, dir, problem)) {
        if (!problem.empty()) return Outcome::kDiffers;
        problem = "head " + head_text + ": the images were not read back";
        return Outcome::kFailed;
      }
    }
  }
  return Outcome::kDone;
}

}  // namespace kyr::backup
