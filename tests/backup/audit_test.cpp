// The audit of a backup against a simulated unit changed after the backup, and the matching
// of recorded units with the units read, on data.
#include "backup/audit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <tuple>

#include "backup/operations.h"
#include "common/head_rig.h"
#include "common/tool_host.h"
#include "settings/initial_values.h"

namespace kyr::backup {
namespace {

using headsim::ImageKind;
using Kinds = std::vector<FindingKind>;

// What a test looks at in a finding: its kind, head, image kind and number.
using Seen = std::tuple<FindingKind, int, std::string, int>;

std::vector<Seen> SeenIn(const UnitAudit& unit) {
  std::vector<Seen> seen;
  for (const Finding& f : unit.findings) seen.emplace_back(f.kind, f.head, f.image_kind, f.number);
  return seen;
}

// A unit with two heads, bank images 0 and 5 and memory image 2 on head 1, backed up into a
// folder; each case then changes the unit and audits the backup against it.
struct AuditRig {
  AuditRig() {
    for (auto* head : {&source.Head(0), &source.Head(1)}) {
      settings::CommentTexts comments{};
      settings::SettingsImage image{};
      settings::InitializeSettings(image, comments);
      head->settings = image;
    }
    for (const auto& [kind, number] :
         {std::pair{ImageKind::kBank, 0}, {ImageKind::kBank, 5}, {ImageKind::kMemory, 2}}) {
      source.Head().RegisterImage(kind, number);
    }
  }

  std::string Dir() const { return source.File("unit"); }

  bool Backup(ProgressSink progress = {}) {
    BackupJob job{host, source.link, "USB", {1, 2}};
    job.progress = std::move(progress);
    job.program = "ridgemo test";
    job.unit_serial = "KYRD0001";
    return BackupUnit(job, Dir(), problem) == Outcome::kDone;
  }

  Audit Run() {
    const auto record = LoadRecord(Dir(), problem, Lang::En);
    if (!record) return {};
    return AuditLine(Dir(), *record, {ReadUnit(source.link, "USB", {})}, Lang::En);
  }

  test_common::HeadRig source{{.heads = 2, .serial = "KYRD0001"}};
  test_common::RecordingToolHost host;
  std::string problem;
};

// The progress of a backup and of an audit's reading only moves forward, though how many
// images each head holds is learnt on the way, and it ends with every file counted.
TEST(Audit, BackupAndReadingProgressMoveOnlyForwardAndEndWhole) {
  AuditRig rig;
  std::vector<double> fractions;
  Progress last;
  const ProgressSink record = [&](const Progress& p) {
    fractions.push_back(static_cast<double>(p.bytes_done) / static_cast<double>(p.bytes_total));
    last = p;
  };
  for (const bool backup : {true, false}) {
    fractions.clear();
    ASSERT_TRUE(backup ? rig.Backup(record)
                       : ReadUnit(rig.source.link, "USB", {.progress = record}).heads.size() == 2);
    EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end())) << "backup " << backup;
    // Head 1's settings and three images, head 2's settings.
    EXPECT_EQ(std::pair(last.files_done, last.files_total), std::pair(5, 5));
    EXPECT_EQ(last.bytes_done, last.bytes_total);
  }
}

TEST(Audit, NamesWhatChangedInTheUnitSinceItsBackup) {
  const std::string bank(kKindBank);
  const std::string memory(kKindMemory);
  const struct {
    const char* what;
    std::function<void(test_common::HeadRig&)> change;
    std::vector<Seen> findings;
  } cases[] = {
      {"nothing", [](auto&) {}, {}},
      {"a setting of head 2",
       [](auto& unit) { unit.Head(1).settings[settings::BankWord(3, 2)] ^= 1; },
       {{FindingKind::kSetting, 2, "", -1}}},
      {"a word of bank image 5",
       [](auto& unit) {
         unit.Head().WriteImageWord({ImageKind::kBank, 5, 1000}, 0xBEEF);
       },
       {{FindingKind::kImageDiffers, 1, bank, 5}}},
      {"memory image 7 stored",
       [](auto& unit) { unit.Head().RegisterImage(ImageKind::kMemory, 7); },
       {{FindingKind::kSetting, 1, "", -1}, {FindingKind::kImageNew, 1, memory, 7}}},
      {"bank image 0 no longer registered",
       [](auto& unit) { unit.Head().settings[settings::BankWord(0, 5)] |= 0x8000; },
       {{FindingKind::kSetting, 1, "", -1}, {FindingKind::kImageMissing, 1, bank, 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    AuditRig rig;
    ASSERT_TRUE(rig.Backup()) << rig.problem;
    c.change(rig.source);
    const Audit audit = rig.Run();
    ASSERT_EQ(audit.units.size(), 1u) << rig.problem;
    EXPECT_EQ(audit.units[0].heads, (std::vector<int>{1, 2}));
    EXPECT_EQ(SeenIn(audit.units[0]), c.findings);
    EXPECT_EQ(audit.Equal(), c.findings.empty());
    EXPECT_FALSE(audit.Failed());
  }
}

TEST(Audit, AReadThatBreaksOffIsAFailureNotADifference) {
  AuditRig rig;
  ASSERT_TRUE(rig.Backup()) << rig.problem;
  rig.source.AddFault(headsim::FaultKind::kDroppedLink, headsim::kAny, 300);
  const Audit audit = rig.Run();
  ASSERT_EQ(audit.units.size(), 1u);
  EXPECT_TRUE(audit.Failed());
  ASSERT_FALSE(audit.units[0].findings.empty());
  EXPECT_EQ(audit.units[0].findings.back().kind, FindingKind::kUnreadable);
}

// Recorded units and readings made up as data: which are matched, missing or new.
RecordedUnit Recorded(const std::string& serial, const std::string& port, std::vector<int> heads) {
  static const auto settings = std::make_shared<settings::SettingsImage>();
  RecordedUnit unit{"line/" + (serial.empty() ? "serial" : serial), {}, {}};
  unit.manifest.unit_serial = serial;
  unit.manifest.port = port;
  for (const int head : heads) {
    unit.manifest.heads.push_back({head, 1, 3, {}});
    unit.settings.push_back(settings);
  }
  return unit;
}

UnitReading Reading(const std::string& serial, const std::string& port, std::vector<int> heads,
                    const std::string& problem = "") {
  static const auto settings = std::make_shared<settings::SettingsImage>();
  UnitReading reading{port, serial, !heads.empty(), heads, {}, problem};
  for (const int head : heads) reading.heads.push_back({head, settings, {}, {}});
  return reading;
}

TEST(Audit, MatchesUnitsBySerialNumberOrPortAndNamesTheRest) {
  const std::vector<RecordedUnit> record = {
      Recorded("KYRD0001", "USB", {1}), Recorded("KYRD0002", "USB", {1, 2}),
      Recorded("", "/dev/ttyUSB0", {1}), Recorded("KYRD0004", "USB", {1})};
  const std::vector<UnitReading> now = {
      Reading("KYRD0003", "USB", {1}),           // new
      Reading("KYRD0002", "USB", {2, 3}),        // head 1 gone, head 3 new
      Reading("", "/dev/ttyUSB0", {1}),          // matched by its port
      Reading("", "/dev/ttyUSB1", {}),           // nothing answers: no unit
      Reading("KYRD0004", "USB", {}, "broken"),  // there, but not read
  };
  const Audit audit = AuditLine("line", record, now, Lang::En);
  std::vector<std::pair<std::string, Kinds>> units;
  for (const UnitAudit& unit : audit.units) {
    Kinds kinds;
    for (const Finding& f : unit.findings) kinds.push_back(f.kind);
    units.emplace_back(unit.name, kinds);
  }
  EXPECT_EQ(units, (std::vector<std::pair<std::string, Kinds>>{
                       {"KYRD0001", {FindingKind::kUnitMissing}},
                       {"KYRD0002", {FindingKind::kHeadMissing, FindingKind::kHeadNew}},
                       {"/dev/ttyUSB0", {}},
                       {"KYRD0004", {FindingKind::kUnreadable}},
                       {"KYRD0003", {FindingKind::kUnitNew}}}));
  EXPECT_TRUE(audit.Failed());
}

TEST(Audit, ThePageEscapesWhatItShowsAndTheDocumentKeepsEnglishNames) {
  const Audit audit = AuditLine("<b>&'", {Recorded("<i>\"x", "USB", {1})},
                                {Reading("<i>\"x", "USB", {})}, Lang::Ja);
  const std::string html = AuditHtml(audit, Lang::Ja);
  EXPECT_EQ(html.find("<b>"), std::string::npos);
  EXPECT_EQ(html.find("<i>"), std::string::npos);
  EXPECT_NE(html.find("&lt;i&gt;&quot;x"), std::string::npos);
  EXPECT_NE(html.find("&lt;b&gt;&amp;&#39;"), std::string::npos);
  const auto json = AuditJson(audit);
  EXPECT_EQ(json["result"], "differs");
  EXPECT_EQ(json["units"][0]["findings"][0]["kind"], "unit_missing");
}

}  // namespace
}  // namespace kyr::backup
