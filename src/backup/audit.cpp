// The audit's record, its readings of the units, and the comparison of the two.
#include "backup/audit.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>

#include "backup/job_parts.h"
#include "backup/operations.h"
#include "backup/sha256.h"
#include "images/ops/image_types.h"
#include "images/ops/services.h"
#include "line/units.h"
#include "settings/settings_file.h"
#include "transfer/services.h"

namespace kyr::backup {
namespace {

namespace fs = std::filesystem;
using namespace detail;

constexpr std::array kFindingNames = {"unit_missing",  "unit_new",  "head_missing",
                                      "head_new",      "setting",   "image_differs",
                                      "image_missing", "image_new", "unreadable"};

// The unit folders of a backup: the folder itself for a head backup, its unit folders (by
// name) for a line backup.
std::optional<std::vector<std::string>> UnitFolders(const std::string& dir) {
  std::vector<std::string> folders;
  switch (KindOfFolder(dir)) {
    case FolderKind::kHeadBackup:
      return std::vector<std::string>{dir};
    case FolderKind::kLineBackup:
      break;
    default:
      return std::nullopt;
  }
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(dir, error)) {
    if (KindOfFolder(entry.path().string()) == FolderKind::kHeadBackup)
      folders.push_back(entry.path().string());
  }
  std::sort(folders.begin(), folders.end());
  return folders;
}

std::optional<RecordedUnit> LoadUnit(const std::string& folder, std::string& problem, Lang lang) {
  auto manifest = PreflightRestore(folder, std::nullopt, problem, lang);
  if (!manifest) return std::nullopt;
  RecordedUnit unit{folder, std::move(*manifest), {}};
  for (const HeadEntry& head : unit.manifest.heads) {
    const std::string path =
        folder + "/" + HeadFolder(head.head) + "/" + std::string(kSettingsName);
    auto image = std::make_shared<settings::SettingsImage>();
    if (settings::ReadSettingsFile(path, *image) != settings::ReadResult::kComplete) {
      problem = Text(ToolText::kMissing, {path}, lang);
      return std::nullopt;
    }
    unit.settings.push_back(std::move(image));
  }
  return unit;
}

// Reads one head whole: its settings, then the images of the chosen kinds.
class HeadReader {
 public:
  HeadReader(link::Link& link, const ReadChoices& choices, ProgressTracker& progress)
      : link_(link), choices_(choices), progress_(progress) {
    hooks_.progress = [this](int position) { progress_.Position(position); };
    hooks_.abort = choices.interrupted;
  }

  // False with the reason in `problem`.
  bool Read(int head, HeadReading& reading, std::string& problem) {
    reading.head = head;
    const std::string head_text = std::to_string(head);
    auto settings = std::make_shared<settings::SettingsImage>();
    progress_.BeginOperation(kSettingsBytes / 64);
    progress_.Range(0, 64);
    const transfer::SettingsResult read =
        transfer::ReadSettings(link_, head - 1, *settings, hooks_);
    closing_ = transfer::ClosingFrameAfter(read);
    if (read != transfer::SettingsResult::kDone) {
      problem =
          Failure(ToolText::kSettingsNotRead, {head_text}, transfer::SettingsResultText(read));
      return false;
    }
    progress_.FilesDone(1, kSettingsBytes);
    HeadImagePlan plan(progress_, {choices_.bank_images, choices_.memory_images});
    for (const int type : {kTypeBank, kTypeMemory}) {
      if (plan.Chosen(type)) plan.Holds(type, PresentImages(*settings, type));
    }
    reading.settings = std::move(settings);
    for (const int type : {kTypeBank, kTypeMemory}) {
      if (!plan.Chosen(type)) continue;
      reading.image_kinds.emplace_back(KindOfType(type));
      if (!ReadImagesOfType(head, type, plan, reading, problem)) return false;
    }
    return true;
  }

  // Whether the closing frame is due after what ran last.
  bool Closing() const { return closing_; }

 private:
  bool ReadImagesOfType(int head, int type, HeadImagePlan& plan, HeadReading& reading,
                        std::string& problem) {
    const auto image_type = static_cast<images::ImageType>(type);
    const std::vector<std::string> what = {std::to_string(head), KindWord(type, choices_.lang)};
    images::ImagesFound found;
    const images::ImageResult find = images::FindImages(link_, head - 1, image_type, found);
    closing_ = find == images::ImageResult::kDone;
    if (find != images::ImageResult::kDone) {
      problem = Failure(ToolText::kImagesNotRead, what, images::ImageResultText(find));
      return false;
    }
    const int count = images::ImageTypeOf(type).count;
    std::vector<int> numbers;
    for (int number = 0; number < count; ++number) {
      if (found.mask & (1ULL << number)) numbers.push_back(number);
    }
    plan.Holds(type, found.mask);
    auto raw = std::make_unique<images::RawImage>();
    auto bytes = std::make_unique<std::array<std::uint8_t, images::kImageFileBytes>>();
    for (const int number : numbers) {
      progress_.BeginOperation(kImageBytes / 512);
      progress_.Range(0, 512);
      const images::ImageResult read =
          images::ReadImage(link_, head - 1, image_type, number, *raw, hooks_);
      closing_ = true;  // an image transfer ran: the head is told it is over
      if (read != images::ImageResult::kDone) {
        problem = Failure(ToolText::kImagesNotRead, what, images::ImageResultText(read));
        return false;
      }
      images::EncodeImageFile(*raw, *bytes);
      const std::string_view file(reinterpret_cast<const char*>(bytes->data()), bytes->size());
      reading.images.push_back({std::string(KindOfType(type)), number, Sha256Hex(file)});
      progress_.FilesDone(1, kImageBytes);
    }
    return true;
  }

  // What stopped the read, and why: the service's message, or the interruption.
  std::string Failure(ToolText what, const std::vector<std::string>& args, ToolText why) const {
    const bool interrupted = choices_.interrupted && choices_.interrupted();
    const ToolText reason = interrupted ? ToolText::kJobInterrupted : why;
    std::string text = Text(what, args, choices_.lang);
    if (reason != ToolText{}) text += ' ' + std::string(LoadString(reason, choices_.lang));
    return text;
  }

  link::Link& link_;
  const ReadChoices& choices_;
  ProgressTracker& progress_;
  tool::ServiceHooks hooks_;
  bool closing_ = false;
};

Finding HeadFinding(FindingKind kind, int head) {
  Finding finding;
  finding.kind = kind;
  finding.head = head;
  return finding;
}

Finding ImageFinding(FindingKind kind, int head, const std::string& image_kind, int number,
                     std::string recorded, std::string now) {
  Finding finding = HeadFinding(kind, head);
  finding.image_kind = image_kind;
  finding.number = number;
  finding.recorded = std::move(recorded);
  finding.now = std::move(now);
  return finding;
}

// The images of `kind`, by number, with their checksums.
using Sums = std::map<int, std::string>;

Sums RecordedSums(const HeadEntry& entry, const std::string& kind) {
  Sums sums;
  for (const FileEntry& file : entry.files) {
    if (file.kind == kind) sums[file.number] = file.sha256;
  }
  return sums;
}

Sums SumsNow(const HeadReading& reading, const std::string& kind) {
  Sums sums;
  for (const ImageSum& image : reading.images) {
    if (image.kind == kind) sums[image.number] = image.sha256;
  }
  return sums;
}

void CompareImages(const HeadEntry& entry, const HeadReading& reading,
                   std::vector<Finding>& findings) {
  for (const std::string& kind : reading.image_kinds) {
    const Sums recorded = RecordedSums(entry, kind);
    const Sums now = SumsNow(reading, kind);
    for (const auto& [number, sum] : recorded) {
      const auto found = now.find(number);
      if (found == now.end()) {
        findings.push_back(
            ImageFinding(FindingKind::kImageMissing, entry.head, kind, number, sum, ""));
      } else if (found->second != sum) {
        findings.push_back(
            ImageFinding(FindingKind::kImageDiffers, entry.head, kind, number, sum, found->second));
      }
    }
    for (const auto& [number, sum] : now) {
      if (!recorded.contains(number))
        findings.push_back(ImageFinding(FindingKind::kImageNew, entry.head, kind, number, "", sum));
    }
  }
}

void CompareHead(const HeadEntry& entry, const settings::SettingsImage& recorded,
                 const HeadReading& reading, Lang lang, UnitAudit& unit) {
  compare::Comparison comparison = compare::CompareSettings(recorded, *reading.settings, lang);
  for (compare::Difference& difference : comparison.differences) {
    Finding finding = HeadFinding(FindingKind::kSetting, entry.head);
    finding.setting = std::move(difference);
    unit.findings.push_back(std::move(finding));
  }
  comparison.differences.clear();
  unit.comparisons.push_back(std::move(comparison));
  CompareImages(entry, reading, unit.findings);
}

bool Contains(const std::vector<int>& heads, int head) {
  return std::find(heads.begin(), heads.end(), head) != heads.end();
}

UnitAudit AuditUnit(const RecordedUnit* recorded, const UnitReading* reading, Lang lang) {
  UnitAudit unit;
  if (recorded != nullptr) {
    const Manifest& manifest = recorded->manifest;
    unit.name = manifest.unit_serial.empty() ? manifest.port : manifest.unit_serial;
    unit.folder = recorded->folder;
    unit.port = manifest.port;
    unit.recorded_time = manifest.time;
  } else {
    unit.name = reading->serial.empty() ? reading->port : reading->serial;
    unit.port = reading->port;
  }
  const bool answered = reading != nullptr && reading->present;
  if (reading != nullptr && !reading->problem.empty()) {
    Finding finding = HeadFinding(FindingKind::kUnreadable, 0);
    finding.problem = reading->problem;
    unit.findings.push_back(std::move(finding));
  }
  if (recorded == nullptr || !answered) {
    if (recorded == nullptr || reading == nullptr || reading->problem.empty())
      unit.findings.insert(
          unit.findings.begin(),
          HeadFinding(recorded ? FindingKind::kUnitMissing : FindingKind::kUnitNew, 0));
    return unit;
  }
  const std::vector<HeadEntry>& heads = recorded->manifest.heads;
  for (std::size_t k = 0; k < heads.size(); ++k) {
    const HeadEntry& entry = heads[k];
    const auto read = std::find_if(reading->heads.begin(), reading->heads.end(),
                                   [&](const HeadReading& h) { return h.head == entry.head; });
    if (read != reading->heads.end()) {
      unit.heads.push_back(entry.head);
      CompareHead(entry, *recorded->settings[k], *read, lang, unit);
    } else if (!Contains(reading->answering, entry.head)) {
      unit.findings.push_back(HeadFinding(FindingKind::kHeadMissing, entry.head));
    }  // answering but not read whole: the unreadable finding tells it
  }
  for (const int head : reading->answering) {
    const bool known = std::any_of(heads.begin(), heads.end(),
                                   [&](const HeadEntry& entry) { return entry.head == head; });
    if (!known) unit.findings.push_back(HeadFinding(FindingKind::kHeadNew, head));
  }
  return unit;
}

// Whether `reading` is of the unit `recorded` was made of: the same serial number, or for a
// unit recorded without one (a serial port) the same port, by the name a line gives it
// ("COM3" is "/dev/ttyS2").
bool SameUnit(const RecordedUnit& recorded, const UnitReading& reading) {
  const Manifest& manifest = recorded.manifest;
  if (!manifest.unit_serial.empty()) return reading.serial == manifest.unit_serial;
  return reading.serial.empty() &&
         line::UnitName({reading.port, ""}) == line::UnitName({manifest.port, ""});
}

}  // namespace

std::string_view FindingKindName(FindingKind kind) {
  return kFindingNames[static_cast<std::size_t>(kind)];
}

bool UnitAudit::Failed() const {
  return std::any_of(findings.begin(), findings.end(),
                     [](const Finding& f) { return f.kind == FindingKind::kUnreadable; });
}

bool Audit::Equal() const {
  return std::all_of(units.begin(), units.end(), [](const UnitAudit& u) { return u.Equal(); });
}

bool Audit::Failed() const {
  return std::any_of(units.begin(), units.end(), [](const UnitAudit& u) { return u.Failed(); });
}

UnitAudit AuditOneUnit(const RecordedUnit& recorded, const UnitReading& reading, Lang lang) {
  return AuditUnit(&recorded, &reading, lang);
}

std::optional<std::vector<RecordedUnit>> LoadRecord(const std::string& dir, std::string& problem,
                                                    Lang lang) {
  const auto folders = UnitFolders(dir);
  if (!folders) {
    problem = Text(ToolText::kAuditNoBackup, {dir}, lang);
    return std::nullopt;
  }
  std::vector<RecordedUnit> record;
  for (const std::string& folder : *folders) {
    auto unit = LoadUnit(folder, problem, lang);
    if (!unit) return std::nullopt;
    record.push_back(std::move(*unit));
  }
  return record;
}

UnitReading ReadUnit(link::Link& link, const std::string& port, const ReadChoices& choices) {
  UnitReading reading;
  reading.port = port;
  if (link.OpenLink(port, /*handshake=*/true) != link::LinkResult::kOk) {
    link.CloseLink(false);
    return reading;
  }
  reading.serial = link.DeviceSerial();
  bool query_failed = false;
  for (int h = 0; h < 3; ++h) {
    const int presence = link.QueryHead(h);
    query_failed |= presence < 0;
    if (presence > 0) reading.answering.push_back(h + 1);
  }
  reading.present = !reading.answering.empty();
  if (!reading.present) {
    link.CloseLink(false);
    return reading;
  }
  ProgressTracker progress(choices.progress);
  HeadReader reader(link, choices, progress);
  bool closing = !query_failed;
  if (query_failed) {
    reading.problem = Text(ToolText::kAuditHeadsUnknown, {}, choices.lang);
  } else {
    PlanHeads(progress, reading.answering.size(), {choices.bank_images, choices.memory_images});
    for (const int head : reading.answering) {
      HeadReading read;
      const bool whole = reader.Read(head, read, reading.problem);
      closing = reader.Closing();
      if (!whole) break;
      reading.heads.push_back(std::move(read));
    }
  }
  link.CloseLink(closing);
  return reading;
}

Audit AuditLine(const std::string& backup, const std::vector<RecordedUnit>& record,
                const std::vector<UnitReading>& now, Lang lang, bool units_read_only) {
  Audit audit;
  audit.backup = backup;
  audit.time = UtcNowText();
  std::vector<bool> matched(now.size(), false);
  for (const RecordedUnit& unit : record) {
    const UnitReading* reading = nullptr;
    for (std::size_t i = 0; i < now.size() && reading == nullptr; ++i) {
      if (matched[i] || !SameUnit(unit, now[i])) continue;
      matched[i] = true;
      reading = &now[i];
    }
    if (reading != nullptr || !units_read_only)
      audit.units.push_back(AuditUnit(&unit, reading, lang));
  }
  for (std::size_t i = 0; i < now.size(); ++i) {
    if (!matched[i] && (now[i].present || !now[i].problem.empty()))
      audit.units.push_back(AuditUnit(nullptr, &now[i], lang));
  }
  return audit;
}

}  // namespace kyr::backup
