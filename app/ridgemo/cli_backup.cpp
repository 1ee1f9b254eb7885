// Whole-unit commands of the command line: backup, restore and compare.

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <ostream>

#include "backup/operations.h"
#include "cli.h"
#include "compare/compare.h"
#include "compare/compare_json.h"
#include "interrupt_guard.h"
#include "line_units.h"
#include "link/discovery.h"
#include "link/link.h"
#include "settings/settings_file.h"
#include "strings/strings.h"

namespace kyr::ridgemo {
namespace {

namespace fs = std::filesystem;

// Exit status of compare: 0 the same, 1 different, 2 the file or the head could not be read.
constexpr int kCompareTrouble = 2;

std::string Text(ToolText id, const std::vector<std::string>& args = {}) {
  return FormatMessage(LoadString(id), args);
}

// A line of the command's own, shown as a message so that --json keeps it with its id:
// a completion on stdout, anything else on stderr.
void SayText(CommandContext& ctx, ToolText id, const std::string& text, userport::Icon icon) {
  ctx.host.ShowMessage({TextNumber(id), text, "", icon});
}

void Say(CommandContext& ctx, ToolText id, const std::vector<std::string>& args = {}) {
  SayText(ctx, id, Text(id, args), userport::Icon::Information);
}

void SayProblem(CommandContext& ctx, ToolText id, const std::vector<std::string>& args = {}) {
  SayText(ctx, id, Text(id, args), userport::Icon::Error);
}

bool Ask(CommandContext& ctx, ToolText id, const std::string& argument) {
  tool::Message question;
  question.string_id = TextNumber(id);
  question.text = Text(id, {argument});
  question.caption = "Warning";
  question.icon = tool::Icon::Exclamation;
  question.buttons = tool::Buttons::YesNo;
  question.default_answer = tool::Answer::No;
  return ctx.host.ShowMessage(question) == tool::Answer::Yes;
}

}  // namespace

// --images bank,memory|none; nullopt when the list is not one.
std::optional<std::pair<bool, bool>> ParseImageKinds(const std::string& text) {
  if (text == "none") return std::pair{false, false};
  std::pair<bool, bool> kinds{false, false};
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    const std::string_view kind = std::string_view(text).substr(start, comma - start);
    if (kind == "bank") {
      kinds.first = true;
    } else if (kind == "memory") {
      kinds.second = true;
    } else {
      return std::nullopt;
    }
    start = comma + 1;
  }
  return kinds;
}

namespace {

// One unit's backup into `dir`; true when it is complete, else `problem` says why.
// `replace`: `dir` may be replaced.
bool BackupOneUnit(tool::ToolHost& host, const GlobalOptions& options, const std::string& dir,
                   std::pair<bool, bool> kinds, bool replace, backup::ProgressSink progress,
                   std::string& problem) {
  link::Link link(LinkEnvironmentFor(options));
  std::string serial;
  std::vector<int> heads = backup::PresentHeads(link, options.port, serial);
  if (!options.all_heads) heads = {options.head};
  if (heads.empty()) heads = {1};  // the transfer itself reports why the unit does not answer

  backup::BackupJob job{host, link, options.port, heads};
  job.bank_images = kinds.first;
  job.memory_images = kinds.second;
  job.replace = replace;
  job.program = std::string("ridgemo ") + KYR_VERSION;
  job.unit_serial = serial;
  job.lang = CurrentLanguage();
  job.progress = std::move(progress);
  job.interrupted = &InterruptGuard::Interrupted;
  return backup::BackupUnit(job, dir, problem) == backup::Outcome::kDone;
}

// The unit folders of a line backup that this run did not back up stay as they were; the
// user is told which.
void ReportUnitsLeftInPlace(CommandContext& ctx, const std::string& dir,
                            const std::vector<std::string>& backed_up) {
  std::vector<std::string> kept;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(dir, error)) {
    const std::string name = entry.path().filename().string();
    if (std::find(backed_up.begin(), backed_up.end(), name) != backed_up.end()) continue;
    if (backup::KindOfFolder(entry.path().string()) == backup::FolderKind::kHeadBackup)
      kept.push_back(name);
  }
  if (kept.empty()) return;
  std::sort(kept.begin(), kept.end());
  std::string list;
  for (const std::string& name : kept) list += (list.empty() ? "" : ", ") + name;
  Say(ctx, ToolText::kLeftInPlace, {list});
}

std::vector<std::string> NamesOf(const std::vector<line::Unit>& units) {
  std::vector<std::string> names;
  for (const line::Unit& unit : units) names.push_back(line::UnitName(unit));
  return names;
}

// The bank and memory images a restore writes (and with --verify reads back).
int RestoredImages(const backup::Manifest& manifest) {
  int count = 0;
  for (const backup::HeadEntry& head : manifest.heads) {
    for (const backup::FileEntry& file : head.files) {
      count += file.kind == backup::kKindBank || file.kind == backup::kKindMemory;
    }
  }
  return count;
}

// A line: each unit into DIR/NAME (line::UnitName), all at once. The questions come first,
// so that the units then run unattended; a unit that fails does not stop the others, and
// the failed ones are named at the end.
int BackupEveryUnit(CommandContext& ctx, const std::string& dir, std::pair<bool, bool> kinds) {
  const std::vector<line::Unit> units = LineUnits(ctx.options);
  if (units.empty()) {
    SayProblem(ctx, ToolText::kNoUnit);
    return kExitFailed;
  }
  std::error_code error;
  const bool made = fs::create_directories(dir, error);
  const std::vector<std::string> names = NamesOf(units);
  std::vector<std::string> refusals(units.size());
  std::vector<char> replace(units.size(), 0);
  for (std::size_t i = 0; i < units.size(); ++i) {
    const std::string unit_dir = dir + "/" + names[i];
    replace[i] = fs::exists(fs::symlink_status(unit_dir, error));
    refusals[i] = backup::ReplaceRefusal(unit_dir, false, CurrentLanguage());
    if (!refusals[i].empty()) {
      ctx.err << refusals[i] << '\n';
    } else if (replace[i] && !Ask(ctx, ToolText::kReplaceQuestion, unit_dir)) {
      refusals[i] = Text(ToolText::kKeptAsItWas, {unit_dir});
    } else if (replace[i]) {
      Say(ctx, ToolText::kReplacingUnit, {names[i]});
    }
  }
  RunOnLine(ctx, units, [&](UnitTurn& turn, std::string& problem) {
    const std::string unit_dir = dir + "/" + turn.name;
    if (!refusals[turn.index].empty()) {
      problem = refusals[turn.index];
      return false;
    }
    const bool done = BackupOneUnit(turn.host, turn.options, unit_dir, kinds, replace[turn.index],
                                    UnitProgress(turn), problem);
    if (done) {
      turn.say(ToolText::kBackupDone, Text(ToolText::kBackupDone, {unit_dir}),
               userport::Icon::Information);
    } else {
      turn.say(ToolText::kBackupFailed, Text(ToolText::kBackupFailed, {unit_dir, problem}),
               userport::Icon::Error);
    }
    return done;
  });
  ReportUnitsLeftInPlace(ctx, dir, names);
  if (made && fs::is_empty(dir, error)) fs::remove(dir, error);  // nothing came of it
  return LineExitStatus(ctx);
}

}  // namespace

// backup DIR: every head's settings and images into DIR, which appears only when complete.
int RunBackup(CommandContext& ctx) {
  std::vector<std::string>& args = ctx.args;
  bool missing = false;
  const auto images = TakeOption(args, "--images", missing);
  const auto kinds = images ? ParseImageKinds(*images) : std::pair{true, true};
  if (missing || !kinds || args.size() != 1 || LooksLikeOption(args[0]))
    return UsageError(ctx, "backup");
  const std::string dir = args[0];

  // Only a backup of the same kind is replaced; anything else is refused before the link opens.
  const bool line = ChoosesLine(ctx.options);
  const std::string refusal = backup::ReplaceRefusal(dir, line, CurrentLanguage());
  if (!refusal.empty()) {
    ctx.err << refusal << '\n';
    return kExitFailed;
  }
  InterruptGuard interrupt;
  if (line) return BackupEveryUnit(ctx, dir, *kinds);
  std::error_code error;
  const bool exists = fs::exists(fs::symlink_status(dir, error));
  if (exists && !Ask(ctx, ToolText::kReplaceQuestion, dir)) return kExitFailed;
  ProgressLine progress(ctx.err, ProgressModeOf(ctx.options));
  std::string problem;
  const bool done =
      BackupOneUnit(ctx.host, ctx.options, dir, *kinds, exists, progress.Sink(), problem);
  progress.End();
  if (done) {
    Say(ctx, ToolText::kBackupDone, {dir});
    return kExitDone;
  }
  SayProblem(ctx, ToolText::kBackupFailed, {dir, problem});
  return kExitFailed;
}

namespace {

// A line: each unit from DIR/NAME, all at once. Every unit's folder is checked before the
// one question and before any link opens; a unit without a sound folder is not touched.
int RestoreEveryUnit(CommandContext& ctx, const std::string& dir, bool no_images, bool verify,
                     std::optional<int> head) {
  if (backup::KindOfFolder(dir) != backup::FolderKind::kLineBackup) {
    SayProblem(ctx, ToolText::kRestoreFailed, {Text(ToolText::kNotALineBackup, {dir})});
    return kExitFailed;
  }
  const std::vector<line::Unit> units = LineUnits(ctx.options);
  if (units.empty()) {
    SayProblem(ctx, ToolText::kNoUnit);
    return kExitFailed;
  }
  const std::vector<std::string> names = NamesOf(units);
  std::vector<std::optional<backup::Manifest>> manifests(units.size());
  std::vector<std::string> problems(units.size());
  std::string ready;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const std::string unit_dir = dir + "/" + names[i];
    std::error_code error;
    if (!fs::is_directory(unit_dir, error)) {
      problems[i] = Text(ToolText::kNoUnitBackup, {dir, names[i]});
    } else {
      manifests[i] = backup::PreflightRestore(unit_dir, head, problems[i], CurrentLanguage());
    }
    if (!manifests[i]) {
      SayProblem(ctx, ToolText::kRestoreFailed,
                 {names[i] + ": " + problems[i] + ' ' + Text(ToolText::kNothingSent)});
    } else {
      ready += (ready.empty() ? "" : ", ") + names[i];
    }
  }
  std::vector<std::string> absent;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(dir, error)) {
    const std::string name = entry.path().filename().string();
    if (std::find(names.begin(), names.end(), name) == names.end() &&
        backup::KindOfFolder(entry.path().string()) == backup::FolderKind::kHeadBackup)
      absent.push_back(name);
  }
  std::sort(absent.begin(), absent.end());
  std::string absent_list;
  for (const std::string& name : absent) absent_list += (absent_list.empty() ? "" : ", ") + name;
  if (!absent.empty()) Say(ctx, ToolText::kUnitsNotRestored, {absent_list});

  const bool go = !ready.empty() && [&] {
    tool::Message question{TextNumber(ToolText::kLineRestoreQuestion),
                           Text(ToolText::kLineRestoreQuestion, {dir, ready}),
                           "Warning",
                           tool::Icon::Exclamation,
                           tool::Buttons::YesNo,
                           tool::Answer::No};
    return ctx.host.ShowMessage(question) == tool::Answer::Yes;
  }();
  if (!go) return kExitFailed;
  InterruptGuard interrupt;
  RunOnLine(ctx, units, [&](UnitTurn& turn, std::string& problem) {
    const std::optional<backup::Manifest>& manifest = manifests[turn.index];
    problem = problems[turn.index];
    if (!manifest) return false;
    link::Link link(LinkEnvironmentFor(turn.options));
    backup::RestoreJob job{turn.host, link, turn.options.port, head};
    job.images = !no_images;
    job.verify = verify;
    job.lang = CurrentLanguage();
    job.progress = UnitProgress(turn);
    job.interrupted = &InterruptGuard::Interrupted;
    const std::string unit_dir = dir + "/" + turn.name;
    if (backup::RestoreUnit(job, unit_dir, *manifest, problem) != backup::Outcome::kDone) {
      turn.say(ToolText::kRestoreFailed,
               Text(ToolText::kRestoreFailed, {turn.name + ": " + problem}), userport::Icon::Error);
      return false;
    }
    const int images = no_images ? 0 : RestoredImages(*manifest);
    turn.say(ToolText::kUnitRestored,
             verify ? Text(ToolText::kUnitRestoredVerified, {turn.name, std::to_string(images)})
                    : Text(ToolText::kUnitRestored, {turn.name}),
             userport::Icon::Information);
    return true;
  });
  return LineExitStatus(ctx);
}

}  // namespace

// restore DIR: checks the backup before the link opens, asks once, then writes it back.
int RunRestore(CommandContext& ctx) {
  std::vector<std::string>& args = ctx.args;
  const bool no_images = TakeFlag(args, "--no-images");
  const bool verify = TakeFlag(args, "--verify");
  if (args.size() != 1 || LooksLikeOption(args[0])) return UsageError(ctx, "restore");
  const std::string dir = args[0];
  const std::optional<int> head =
      ctx.options.head_given ? std::optional<int>(ctx.options.head) : std::nullopt;
  if (ChoosesLine(ctx.options)) return RestoreEveryUnit(ctx, dir, no_images, verify, head);
  std::string problem;
  const auto manifest = backup::PreflightRestore(dir, head, problem, CurrentLanguage());
  if (!manifest) {
    SayText(ctx, ToolText::kRestoreFailed,
            Text(ToolText::kRestoreFailed, {problem}) + ' ' + Text(ToolText::kNothingSent),
            userport::Icon::Error);
    return kExitFailed;
  }
  if (!Ask(ctx, ToolText::kRestoreQuestion, dir)) return kExitFailed;

  link::Link link(LinkEnvironmentFor(ctx.options));
  InterruptGuard interrupt;
  ProgressLine progress(ctx.err, ProgressModeOf(ctx.options));
  backup::RestoreJob job{ctx.host, link, ctx.options.port, head};
  job.images = !no_images;
  job.verify = verify;
  job.lang = CurrentLanguage();
  job.progress = progress.Sink();
  job.interrupted = &InterruptGuard::Interrupted;
  const backup::Outcome outcome = backup::RestoreUnit(job, dir, *manifest, problem);
  progress.End();
  if (outcome == backup::Outcome::kDone) {
    Say(ctx, ToolText::kRestoreDone);
    if (verify) {
      const int images = no_images ? 0 : RestoredImages(*manifest);
      Say(ctx, ToolText::kRestoreVerified, {std::to_string(images)});
    }
    return kExitDone;
  }
  SayProblem(ctx, ToolText::kRestoreFailed, {problem});
  return kExitFailed;
}

// compare FILE: the file (first) against the head's settings memory now (second).
int RunCompare(CommandContext& ctx) {
  if (ctx.args.size() != 1 || LooksLikeOption(ctx.args[0])) return UsageError(ctx, "compare");
  const std::string& path = ctx.args[0];
  auto file = std::make_unique<settings::SettingsImage>();
  auto head = std::make_unique<settings::SettingsImage>();
  const settings::ReadResult read = settings::ReadSettingsFile(path, *file);
  if (read != settings::ReadResult::kComplete) {
    ctx.err << path << ": "
            << LoadString(read == settings::ReadResult::kShortFile
                              ? EditorText::kIllegalContents
                              : EditorText::kFailToOpenSettings)
            << '\n';
    return kCompareTrouble;
  }
  link::Link link(LinkEnvironmentFor(ctx.options));
  if (!backup::ReadHeadSettings(ctx.host, link, ctx.options.port, ctx.options.head, *head))
    return kCompareTrouble;
  const std::string head_number = std::to_string(ctx.options.head);
  if (ctx.options.json) {
    const compare::Comparison english = compare::CompareSettings(*file, *head, Lang::En);
    ctx.out << compare::ComparisonJson(english, {"file", path}, {"head", ctx.options.head}).dump(2)
            << '\n';
    return english.Equal() ? kExitDone : kExitFailed;
  }
  const compare::Comparison comparison = compare::CompareSettings(*file, *head, CurrentLanguage());
  if (!comparison.Equal()) ctx.out << Text(ToolText::kCompareSides, {path, head_number}) << '\n';
  ctx.out << compare::FormatReport(comparison, path, "head " + head_number, CurrentLanguage());
  return comparison.Equal() ? kExitDone : kExitFailed;
}

}  // namespace kyr::ridgemo
