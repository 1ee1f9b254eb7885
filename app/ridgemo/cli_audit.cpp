// audit DIR: a backup against the units connected now, told as text lines (or one JSON
// document) and as a page written with the backup.
#include <algorithm>
#include <filesystem>
#include <ostream>

#include "backup/audit.h"
#include "cli.h"
#include "files/atomic_file.h"
#include "interrupt_guard.h"
#include "line_units.h"
#include "link/port_name.h"
#include "strings/strings.h"

namespace kyr::ridgemo {
namespace {

namespace fs = std::filesystem;

// Exit status of audit: 0 all equal, 1 something differs, 2 the audit could not be made whole.
constexpr int kAuditTrouble = 2;

std::string Text(ToolText id, const std::vector<std::string>& args = {}) {
  return FormatMessage(LoadString(id), args);
}

// A unit to read: a USB unit by its serial number, or a serial port; `listed` when the USB
// bus lists it.
struct Place {
  std::string port;
  std::string serial;  // USB only
  bool listed = false;
  bool operator==(const Place&) const = default;
};

// What to read: --device all every USB unit, --port P1,P2,... those ports, --device SERIAL or
// --port P that one; without them the places the backup records, and every USB unit when it
// records one on USB, so that a unit added since is found.
std::vector<Place> PlacesToRead(const GlobalOptions& options,
                                const std::vector<backup::RecordedUnit>& record) {
  const auto is_usb = [](const std::string& port) {
    return link::TransportForPort(port) == link::LinkMode::Usb;
  };
  std::vector<Place> places;
  if (ChoosesLine(options)) {
    for (const line::Unit& unit : LineUnits(options)) places.push_back({unit.port, unit.serial});
  } else if (!options.device.empty()) {
    places.push_back({"USB", options.device});
  } else if (!is_usb(options.port)) {
    places.push_back({options.port, ""});
  } else {
    for (const backup::RecordedUnit& unit : record) {
      if (!is_usb(unit.manifest.port)) places.push_back({unit.manifest.port, ""});
    }
    const bool any_usb =
        std::any_of(record.begin(), record.end(),
                    [&](const backup::RecordedUnit& unit) { return is_usb(unit.manifest.port); });
    if (any_usb || record.empty()) {
      for (const line::Unit& unit : LineUnits(options)) places.push_back({unit.port, unit.serial});
    }
  }
  // A USB unit the bus lists is there: a failure to open it is a failure, not a missing unit.
  std::vector<line::Unit> listed;
  for (Place& place : places) {
    if (place.serial.empty()) continue;
    if (listed.empty()) listed = LineUnits(UnitOptions(options, {"USB", ""}));
    place.listed = std::any_of(listed.begin(), listed.end(),
                               [&](const line::Unit& unit) { return unit.serial == place.serial; });
  }
  return places;
}

// Reads one place on a link of its own; `console` (when given) tells the link's failures
// and stalls as they happen.
backup::UnitReading ReadPlace(ConsoleHost* console, const GlobalOptions& options,
                              const Place& place, const backup::ReadChoices& choices) {
  link::Link link(LinkEnvironmentFor(UnitOptions(options, {place.port, place.serial})));
  LinkWatch watch(console, link);
  backup::UnitReading reading = backup::ReadUnit(link, place.port, choices);
  if (!reading.present && place.listed && reading.problem.empty()) {
    reading.serial = place.serial;
    reading.problem = Text(ToolText::kAuditNotOpened);
    const std::string why = link.LastFailure().Line();
    if (!why.empty()) reading.problem += ' ' + why;
  }
  return reading;
}

// Reads every place: one on the console with its progress bar, several at once, each on a
// thread and a link of its own, with the line's display. A unit read whole counts as done
// on the display; one that did not answer or broke off as failed (the audit says which).
std::vector<backup::UnitReading> ReadPlaces(CommandContext& ctx, const std::vector<Place>& places,
                                            backup::ReadChoices choices) {
  std::vector<backup::UnitReading> now;
  if (places.size() < 2) {
    ProgressLine progress(ctx.err, ProgressModeOf(ctx.options));
    choices.progress = progress.Sink();
    for (const Place& place : places)
      now.push_back(ReadPlace(ctx.console, ctx.options, place, choices));
    return now;
  }
  std::vector<line::Unit> units;
  for (const Place& place : places) units.push_back({place.port, place.serial});
  now.resize(places.size());  // each unit's thread fills its own element only
  RunOnLine(ctx, units, [&](UnitTurn& turn, std::string& problem) {
    backup::ReadChoices own = choices;
    own.progress = UnitProgress(turn);
    backup::UnitReading& reading = now[turn.index];
    reading = ReadPlace(nullptr, turn.options, places[turn.index], own);
    problem = reading.problem;
    return reading.present && problem.empty();
  });
  return now;
}

// Where the page goes, and whether it may be written there: a page of an earlier audit is
// replaced, anything else only when the user says so. Empty when it is not to be written.
std::optional<std::string> ReportPath(CommandContext& ctx, const std::string& dir,
                                      const std::optional<std::string>& chosen) {
  const std::string path = chosen ? *chosen : (fs::path(dir) / backup::kAuditReportName).string();
  switch (files::CheckWriteTarget(path)) {
    case files::WriteTarget::kDanglingLink:
      ctx.err << path << ": " << LoadString(ToolText::kDanglingLink) << '\n';
      return std::nullopt;
    case files::WriteTarget::kNotRegular:
      ctx.err << path << ": " << LoadString(ToolText::kNotRegularFile) << '\n';
      return std::nullopt;
    case files::WriteTarget::kWritable:
      break;
  }
  if (!files::PathExists(path) || backup::IsAuditReport(path)) return path;
  tool::Message question;
  question.string_id = TextNumber(ToolText::kAuditReplaceReport);
  question.text = Text(ToolText::kAuditReplaceReport, {path});
  question.caption = "Warning";
  question.icon = tool::Icon::Exclamation;
  question.buttons = tool::Buttons::YesNo;
  question.default_answer = tool::Answer::No;
  if (ctx.host.ShowMessage(question) == tool::Answer::Yes) return path;
  return std::nullopt;
}

int ExitStatusOf(const backup::Audit& audit) {
  if (audit.Failed()) return kAuditTrouble;
  return audit.Equal() ? kExitDone : kExitFailed;
}

}  // namespace

int RunAudit(CommandContext& ctx) {
  std::vector<std::string>& args = ctx.args;
  bool missing = false;
  const auto report = TakeOption(args, "--report", missing);
  const auto images = TakeOption(args, "--images", missing);
  const auto kinds = images ? ParseImageKinds(*images) : std::pair{true, true};
  if (missing || !kinds || args.size() != 1 || LooksLikeOption(args[0]) ||
      (report && report->empty()))
    return UsageError(ctx, "audit");
  const std::string dir = args[0];
  const Lang lang = ctx.options.json ? Lang::En : CurrentLanguage();

  std::string problem;
  const auto record = backup::LoadRecord(dir, problem, CurrentLanguage());
  if (!record) {
    ctx.err << problem << '\n';
    return kAuditTrouble;
  }
  InterruptGuard interrupt;
  backup::ReadChoices choices;
  choices.bank_images = kinds->first;
  choices.memory_images = kinds->second;
  choices.lang = CurrentLanguage();
  choices.interrupted = &InterruptGuard::Interrupted;
  const std::vector<backup::UnitReading> now =
      ReadPlaces(ctx, PlacesToRead(ctx.options, *record), choices);
  // One unit chosen by --port P or --device SERIAL: the other units of a line backup were
  // not looked for, so they are not missing.
  const bool one_unit = !ChoosesLine(ctx.options) &&
                        (!ctx.options.device.empty() ||
                         link::TransportForPort(ctx.options.port) != link::LinkMode::Usb);
  const backup::Audit audit =
      backup::AuditLine(dir, *record, now, lang, one_unit && record->size() > 1);
  int status = ExitStatusOf(audit);

  const auto path = ReportPath(ctx, dir, report);
  const bool written =
      path && files::WriteFileAtomically(*path, backup::AuditHtml(audit, CurrentLanguage()));
  if (path && !written) ctx.err << Text(ToolText::kAuditReportNotWritten, {*path}) << '\n';
  if (!written) status = kAuditTrouble;

  if (ctx.options.json) {
    nlohmann::ordered_json document = backup::AuditJson(audit);
    document["report"] = written ? nlohmann::ordered_json(*path) : nlohmann::ordered_json();
    document["exit_status"] = status;
    ctx.out << document.dump(2) << '\n';
  } else {
    ctx.out << backup::AuditText(audit, lang);
    if (written) ctx.out << Text(ToolText::kAuditReportWritten, {*path}) << '\n';
  }
  return status;
}

}  // namespace kyr::ridgemo
