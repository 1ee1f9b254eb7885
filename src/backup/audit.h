#pragma once
// The audit of a backup against what is connected now: for every unit and head the backup
// records, the head's settings setting by setting and its images by checksum; units and
// heads missing or new.
//
// Three steps, so that the comparison works on data alone:
//   LoadRecord    the backup (a head backup or a line backup) checked and read;
//   ReadUnit      one unit as it is now, through the head services, on a link of its own;
//   AuditLine     the record against the readings: the findings, unit by unit.
// The findings are then told as text lines, as one JSON document, or as a page.
//
// Typical use:
//   auto record = LoadRecord("line3", problem, lang);
//   std::vector<UnitReading> now;
//   for (const std::string& port : ports) now.push_back(ReadUnit(link, port, choices, hooks));
//   const Audit audit = AuditLine("line3", *record, now, lang);
//   std::cout << AuditText(audit, lang);
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "backup/progress.h"
#include "backup/record.h"
#include "compare/compare.h"
#include "link/link.h"
#include "settings/settings_image.h"
#include "strings/strings.h"

namespace kyr::backup {

// A unit as its backup folder records it.
struct RecordedUnit {
  std::string folder;  // the unit's backup folder
  Manifest manifest;
  // The settings of each head of the manifest, in its order.
  std::vector<std::shared_ptr<const settings::SettingsImage>> settings;
};

// Reads the backup at `dir`: a head backup gives one unit, a line backup one per unit
// folder. Every unit folder is checked as a restore checks it (sizes, checksums, the
// manifest); nullopt with the reason in `problem` (in `lang`) when one is not sound or
// `dir` is no backup.
std::optional<std::vector<RecordedUnit>> LoadRecord(const std::string& dir, std::string& problem,
                                                    Lang lang);

// The checksum of one image as the head holds it now, made as the backup makes it of the
// image file it writes.
struct ImageSum {
  std::string kind;  // kKindBank or kKindMemory
  int number = 0;
  std::string sha256;
};

// One head as it was read now.
struct HeadReading {
  int head = 1;  // 1 to 3
  std::shared_ptr<const settings::SettingsImage> settings;
  std::vector<std::string> image_kinds;  // the kinds whose images were looked for
  std::vector<ImageSum> images;
};

// One unit as it was read now.
struct UnitReading {
  std::string port;
  std::string serial;              // the USB serial number; empty over a serial port
  bool present = false;            // the link opened and a head answered
  std::vector<int> answering;      // the heads (1 to 3) that answered
  std::vector<HeadReading> heads;  // the heads read whole
  std::string problem;             // why the unit could not be read whole (in the job's language)
};

struct ReadChoices {
  bool bank_images = true;
  bool memory_images = true;
  Lang lang = Lang::En;  // of the problem
  ProgressSink progress{};
  std::function<bool()> interrupted{};
};

// Reads the unit behind `port`: which heads answer, each one's settings, and a checksum of
// each of its bank and memory images (as chosen). Opens and closes `link`.
UnitReading ReadUnit(link::Link& link, const std::string& port, const ReadChoices& choices);

enum class FindingKind : std::uint8_t {
  kUnitMissing,   // recorded, not connected now
  kUnitNew,       // connected, not recorded
  kHeadMissing,   // recorded, not answering now
  kHeadNew,       // answering, not recorded
  kSetting,       // a setting differs
  kImageDiffers,  // an image's checksum differs
  kImageMissing,  // recorded, not held by the head now
  kImageNew,      // held by the head, not recorded
  kUnreadable,    // the unit could not be read whole: the audit of it is incomplete
};
std::string_view FindingKindName(FindingKind kind);

struct Finding {
  FindingKind kind = FindingKind::kSetting;
  int head = 0;                   // 1 to 3; 0 for the unit as a whole
  std::string image_kind;         // images: kKindBank or kKindMemory
  int number = -1;                // images: the image number
  std::string recorded;           // images: the checksums
  std::string now;                //
  compare::Difference setting{};  // kSetting: the backup's value as `a`, the head's as `b`
  std::string problem;            // kUnreadable
};

struct UnitAudit {
  std::string name;    // the serial number, else the port
  std::string folder;  // the unit's backup folder; empty for a new unit
  std::string port;
  std::string recorded_time;  // when the backup of the unit was made
  std::vector<int> heads;     // the heads compared
  // The settings comparison of each head compared, in the order of `heads`, its differences
  // moved into the findings: what was converted to compare the two sides.
  std::vector<compare::Comparison> comparisons;
  std::vector<Finding> findings;
  bool Equal() const { return findings.empty(); }
  bool Failed() const;  // the unit could not be read whole
};

struct Audit {
  std::string backup;  // the backup folder as given
  std::string time;    // when the audit ran, UTC
  std::vector<UnitAudit> units;
  bool Equal() const;
  bool Failed() const;
};

// The record against what was read: each recorded unit is matched with the reading of the
// same serial number, or (recorded without one) of the same port. Readings of units that
// did not answer stand for no unit. With `units_read_only` (one unit of a line was chosen)
// the recorded units no reading was made for are left out rather than missing. Setting
// labels and values are in `lang`.
Audit AuditLine(const std::string& backup, const std::vector<RecordedUnit>& record,
                const std::vector<UnitReading>& now, Lang lang, bool units_read_only = false);

// One unit's record against one reading, whichever unit the reading is of: the window
// compares the unit it has chosen with the backup the user chose.
UnitAudit AuditOneUnit(const RecordedUnit& recorded, const UnitReading& reading, Lang lang);

// What a finding says, without the unit and head it is about.
std::string FindingText(const Finding& finding, Lang lang);
// How many leading characters of an image checksum a report shows.
inline constexpr std::size_t kShownSumLength = 12;
// The findings as lines, each ending with "\n", and a summary line.
std::string AuditText(const Audit& audit, Lang lang);
// One JSON document: keys and enumerated values in English (make `audit` in English so that
// labels and values are English too).
nlohmann::ordered_json AuditJson(const Audit& audit);
// A page a person opens in a browser, needing nothing beside it. It names its maker in a
// generator tag, so that the next audit knows the page as its own and may replace it.
std::string AuditHtml(const Audit& audit, Lang lang);
inline constexpr std::string_view kAuditGenerator = "ridgemo audit";
// Whether the regular file at `path` is a page AuditHtml made.
bool IsAuditReport(const std::string& path);

}  // namespace kyr::backup
