// The audit's findings told three ways: text lines, one JSON document, and a page.
#include <algorithm>

#include "backup/audit.h"
#include "backup/html_text.h"
#include "backup/job_parts.h"
#include "compare/compare_json.h"
#include "files/regular_file.h"

namespace kyr::backup {
namespace {

using namespace detail;

// What a unit's audit came to, by its English name for the JSON document and its text.
enum class State { kEqual, kDiffers, kFailed };

State StateOf(const UnitAudit& unit) {
  return unit.Failed() ? State::kFailed : unit.Equal() ? State::kEqual : State::kDiffers;
}

State StateOf(const Audit& audit) {
  return audit.Failed() ? State::kFailed : audit.Equal() ? State::kEqual : State::kDiffers;
}

struct StateRow {
  std::string_view name;
  ToolText text;
  std::string_view colour;  // of the page's badge
};

constexpr StateRow kStates[] = {
    {"equal", ToolText::kAuditStateEqual, "#2e7d32"},
    {"differs", ToolText::kAuditStateDiffers, "#c62828"},
    {"failed", ToolText::kAuditStateFailed, "#6a1b9a"},
};

const StateRow& RowOf(State state) {
  return kStates[static_cast<int>(state)];
}

std::string Kind(const std::string& image_kind, Lang lang) {
  return KindWord(image_kind == kKindBank ? kTypeBank : kTypeMemory, lang);
}

std::string HeadList(const std::vector<int>& heads) {
  std::string list;
  for (const int head : heads) list += (list.empty() ? "" : ", ") + std::to_string(head);
  return list;
}

std::string FindingLine(const UnitAudit& unit, const Finding& finding, Lang lang) {
  if (finding.head == 0)
    return Text(ToolText::kAuditUnitLine, {unit.name, FindingText(finding, lang)}, lang);
  return Text(ToolText::kAuditHeadLine,
              {unit.name, std::to_string(finding.head), FindingText(finding, lang)}, lang);
}

bool AnySetting(const Audit& audit) {
  return std::any_of(audit.units.begin(), audit.units.end(), [](const UnitAudit& unit) {
    return std::any_of(unit.findings.begin(), unit.findings.end(),
                       [](const Finding& f) { return f.kind == FindingKind::kSetting; });
  });
}

std::string Summary(const Audit& audit, Lang lang) {
  if (audit.units.empty()) return Text(ToolText::kAuditNothing, {}, lang);
  std::size_t differing = 0;
  std::size_t findings = 0;
  std::string failed;
  for (const UnitAudit& unit : audit.units) {
    differing += !unit.Equal();
    findings += unit.findings.size();
    if (unit.Failed()) failed += (failed.empty() ? "" : ", ") + unit.name;
  }
  std::string summary = differing == 0
                            ? Text(ToolText::kAuditAllEqual, {audit.backup}, lang)
                            : Text(ToolText::kAuditUnitsDiffer,
                                   {audit.backup, std::to_string(differing),
                                    std::to_string(audit.units.size()), std::to_string(findings)},
                                   lang);
  if (!failed.empty()) summary += '\n' + Text(ToolText::kAuditUnitsFailed, {failed}, lang);
  return summary;
}

// ---- the page ----

std::string Html(ToolText id, Lang lang, const std::vector<std::string>& args = {}) {
  return HtmlEscaped(Text(id, args, lang));
}

std::string Badge(State state, Lang lang) {
  const StateRow& row = RowOf(state);
  return "<span class=\"badge\" style=\"background:" + std::string(row.colour) + "\">" +
         Html(row.text, lang) + "</span>";
}

std::string Cell(const std::string& text, const char* tag = "td") {
  return "<" + std::string(tag) + ">" + HtmlEscaped(text) + "</" + tag + ">";
}

// A checksum cut to what a person compares by eye; the whole one in the title.
std::string Sum(const std::string& sha) {
  if (sha.empty()) return "<td>&mdash;</td>";
  return "<td class=\"sum\" title=\"" + HtmlEscaped(sha) + "\">" +
         HtmlEscaped(sha.substr(0, kShownSumLength)) + "&hellip;</td>";
}

// One row of a unit's findings: head, what, the backup's side and the head's side.
std::string FindingRow(const Finding& finding, Lang lang) {
  std::string row = "<tr>" + Cell(finding.head == 0 ? "" : std::to_string(finding.head));
  if (finding.kind == FindingKind::kSetting) {
    std::string what = compare::PlaceText(finding.setting, lang);
    if (!finding.setting.label.empty()) what += ": " + finding.setting.label;
    return row + Cell(what) + Cell(finding.setting.a) + Cell(finding.setting.b) + "</tr>\n";
  }
  row += Cell(FindingText(finding, lang));
  if (finding.number >= 0) return row + Sum(finding.recorded) + Sum(finding.now) + "</tr>\n";
  return row + "<td></td><td></td></tr>\n";
}

void UnitSection(std::string& html, const UnitAudit& unit, Lang lang) {
  html += "<section>\n<h2>" + Html(ToolText::kUnit, lang) + ' ' + HtmlEscaped(unit.name) + ' ' +
          Badge(StateOf(unit), lang) + "</h2>\n<table class=\"facts\">\n";
  const auto fact = [&](ToolText label, const std::string& value) {
    if (!value.empty())
      html += "<tr>" + Cell(Text(label, {}, lang), "th") + Cell(value) + "</tr>\n";
  };
  fact(ToolText::kPort, unit.port);
  fact(ToolText::kAuditFolder, unit.folder);
  fact(ToolText::kAuditBackupTime, unit.recorded_time);
  fact(ToolText::kHead, HeadList(unit.heads));
  html += "</table>\n";
  if (unit.findings.empty()) {
    html += "<p>" + Html(ToolText::kAuditUnitEqual, lang, {HeadList(unit.heads)}) + "</p>\n";
  } else {
    html += "<table class=\"findings\">\n<tr>" + Cell(Text(ToolText::kHead, {}, lang), "th") +
            Cell(Text(ToolText::kAuditFinding, {}, lang), "th") +
            Cell(Text(ToolText::kAuditBackupValue, {}, lang), "th") +
            Cell(Text(ToolText::kAuditHeadValue, {}, lang), "th") + "</tr>\n";
    for (const Finding& finding : unit.findings) html += FindingRow(finding, lang);
    html += "</table>\n";
  }
  html += "</section>\n";
}

constexpr std::string_view kStyle =
    "body{font-family:sans-serif;margin:1.5em;color:#222;max-width:70em}\n"
    "table{border-collapse:collapse;margin:.5em 0 1em}\n"
    "th,td{border:1px solid #bbb;padding:.25em .6em;text-align:left;vertical-align:top}\n"
    "th{background:#f2f2f2}\n"
    ".badge{color:#fff;border-radius:.3em;padding:.1em .5em;font-size:.75em;"
    "vertical-align:middle}\n"
    ".sum{font-family:monospace}\n"
    "section{border-top:1px solid #ddd;margin-top:1em}\n";

}  // namespace

std::string FindingText(const Finding& finding, Lang lang) {
  const std::vector<std::string> image = {Kind(finding.image_kind, lang),
                                          std::to_string(finding.number)};
  switch (finding.kind) {
    case FindingKind::kUnitMissing:
      return Text(ToolText::kAuditUnitMissing, {}, lang);
    case FindingKind::kUnitNew:
      return Text(ToolText::kAuditUnitNew, {}, lang);
    case FindingKind::kHeadMissing:
      return Text(ToolText::kAuditHeadMissing, {}, lang);
    case FindingKind::kHeadNew:
      return Text(ToolText::kAuditHeadNew, {}, lang);
    case FindingKind::kSetting:
      return compare::DifferenceLine(finding.setting, lang);
    case FindingKind::kImageDiffers:
      return Text(ToolText::kAuditImageDiffers, image, lang);
    case FindingKind::kImageMissing:
      return Text(ToolText::kAuditImageMissing, image, lang);
    case FindingKind::kImageNew:
      return Text(ToolText::kAuditImageNew, image, lang);
    case FindingKind::kUnreadable:
      break;
  }
  return Text(ToolText::kAuditUnreadable, {finding.problem}, lang);
}

std::string AuditText(const Audit& audit, Lang lang) {
  std::string text;
  if (AnySetting(audit)) text += Text(ToolText::kAuditSides, {}, lang) + '\n';
  for (const UnitAudit& unit : audit.units) {
    if (unit.Equal()) {
      text +=
          Text(ToolText::kAuditUnitLine,
               {unit.name, Text(ToolText::kAuditUnitEqual, {HeadList(unit.heads)}, lang)}, lang) +
          '\n';
    }
    for (const Finding& finding : unit.findings) text += FindingLine(unit, finding, lang) + '\n';
  }
  return text + Summary(audit, lang) + '\n';
}

nlohmann::ordered_json AuditJson(const Audit& audit) {
  nlohmann::ordered_json units = nlohmann::ordered_json::array();
  for (const UnitAudit& unit : audit.units) {
    nlohmann::ordered_json findings = nlohmann::ordered_json::array();
    for (const Finding& finding : unit.findings) {
      nlohmann::ordered_json item = {{"kind", FindingKindName(finding.kind)}};
      if (finding.head > 0) item["head"] = finding.head;
      if (finding.kind == FindingKind::kSetting) {
        item.update(compare::DifferenceJson(finding.setting, {"backup", {}}, {"now", {}}));
      } else if (finding.number >= 0) {
        item["image"] = finding.image_kind;
        item["number"] = finding.number;
        if (!finding.recorded.empty()) item["backup"] = finding.recorded;
        if (!finding.now.empty()) item["now"] = finding.now;
      } else if (!finding.problem.empty()) {
        item["problem"] = finding.problem;
      }
      findings.push_back(std::move(item));
    }
    units.push_back({{"unit", unit.name},
                     {"port", unit.port},
                     {"folder", unit.folder},
                     {"recorded_time", unit.recorded_time},
                     {"result", RowOf(StateOf(unit)).name},
                     {"heads", unit.heads},
                     {"findings", std::move(findings)}});
  }
  return {{"backup", audit.backup},
          {"time", audit.time},
          {"result", RowOf(StateOf(audit)).name},
          {"units", std::move(units)}};
}

std::string AuditHtml(const Audit& audit, Lang lang) {
  const std::string title = Html(ToolText::kAuditPageTitle, lang, {audit.backup});
  std::string html =
      "<!DOCTYPE html>\n<html lang=\"" + std::string(lang == Lang::Ja ? "ja" : "en") +
      "\">\n<head>\n<meta charset=\"utf-8\">\n<meta name=\"generator\" content=\"" +
      std::string(kAuditGenerator) + "\">\n<title>" + title + "</title>\n<style>\n" +
      std::string(kStyle) + "</style>\n</head>\n<body>\n<h1>" + title + ' ' +
      Badge(StateOf(audit), lang) + "</h1>\n<table class=\"facts\">\n<tr>" +
      Cell(Text(ToolText::kAuditTime, {}, lang), "th") + Cell(audit.time) + "</tr>\n</table>\n";
  std::string summary = Summary(audit, lang);
  std::replace(summary.begin(), summary.end(), '\n', ' ');
  html += "<p>" + HtmlEscaped(summary) + "</p>\n";
  for (const UnitAudit& unit : audit.units) UnitSection(html, unit, lang);
  return html + "</body>\n</html>\n";
}

bool IsAuditReport(const std::string& path) {
  constexpr std::uint64_t kMostReportBytes = 64 * 1024 * 1024;
  files::OpenProblem problem{};
  const auto text = files::ReadRegularFile(path, kMostReportBytes, problem);
  return text && text->find("<meta name=\"generator\" content=\"" + std::string(kAuditGenerator) +
                            "\">") != std::string::npos;
}

}  // namespace kyr::backup
