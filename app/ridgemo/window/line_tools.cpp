// The window's line tools: backup and restore of the chosen unit, and its settings compared
// with a settings file or a backup. They run the cores the commands run, with the window's
// progress bar and Abort, and list what they did in the results window.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "backup/audit.h"
#include "backup/operations.h"
#include "backup/record.h"
#include "compare/compare.h"
#include "settings/settings_file.h"
#include "strings/strings.h"
#include "tool/link_session.h"
#include "tool/messages.h"
#include "transfer/services.h"
#include "userport/file_filters.h"
#include "window/ridgemo_dlg.h"
#include "window/window_text.h"

namespace kyr::ridgemo {
namespace {

constexpr int kJobSteps = 1000;                // the progress bar's range during a job
constexpr int kSettingsBlocks = 64;            // blocks of a settings read
constexpr const char* kBackupKind = "backup";  // the folder memory of the backup dialogs

std::string Text(ToolText id, const std::vector<std::string>& args = {}) {
  return FormatMessage(LoadString(id), args);
}

QString QText(ToolText id, const std::vector<std::string>& args = {}) {
  return QString::fromStdString(Text(id, args));
}

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// A question with Yes and No whose answer, unless given, is No: nothing is replaced or
// overwritten by a hasty Enter.
tool::Message Question(ToolText id, const std::string& argument) {
  tool::Message question = tool::WarningQuestion(id);
  question.text = Text(id, {argument});
  question.default_answer = tool::Answer::No;
  return question;
}

std::optional<backup::Manifest> ReadManifest(const std::string& dir) {
  std::ifstream in(dir + "/" + std::string(backup::kManifestName), std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::string problem;
  return backup::ParseManifest(text, problem);
}

// One row per file of the backup: head, file, size. Bitmaps only where `bitmaps` (a restore
// writes the images, not their pictures).
std::vector<QStringList> FileRows(const backup::Manifest& manifest, bool bitmaps, int& files) {
  std::vector<QStringList> rows;
  for (const backup::HeadEntry& head : manifest.heads) {
    for (const backup::FileEntry& file : head.files) {
      if (!bitmaps && file.kind == backup::kKindBitmap) continue;
      rows.push_back({QString::number(head.head), Q(file.name), Q(backup::SizeText(file.size))});
    }
  }
  files = static_cast<int>(rows.size());
  return rows;
}

QStringList FileColumns() {
  return {QText(ToolText::kColumnHead), QText(ToolText::kColumnFile), QText(ToolText::kColumnSize)};
}

// The columns of a comparison: the file side and the head side named.
QStringList CompareColumns(const std::string& file_side, const std::string& head_side) {
  return {QText(ToolText::kColumnHead), QText(ToolText::kColumnPlace),
          QText(ToolText::kColumnSetting), Q(file_side), Q(head_side)};
}

void AddDifferenceRows(const compare::Comparison& comparison, int head,
                       std::vector<QStringList>& rows) {
  const Lang lang = CurrentLanguage();
  for (const compare::Difference& difference : comparison.differences) {
    rows.push_back({QString::number(head), Q(compare::PlaceText(difference, lang)),
                    Q(difference.label), Q(difference.a), Q(difference.b)});
  }
}

std::string CountLine(std::size_t differences) {
  return differences == 0 ? std::string(LoadString(EditorText::kSettingsEqual))
                          : FormatMessage(LoadString(EditorText::kSettingsDiffer),
                                          {std::to_string(differences)});
}

// A finding's text as a cell of its own: the audit words it to follow a unit's name, so it
// starts in lower case.
QString Cell(const std::string& text) {
  QString cell = Q(text);
  if (!cell.isEmpty()) cell[0] = cell[0].toUpper();
  return cell;
}

// A checksum cut to what a person compares by eye.
QString ShortSum(const std::string& sha) {
  return sha.empty() ? QStringLiteral("-") : Q(sha.substr(0, backup::kShownSumLength) + "...");
}

// One row per finding of the audit of a unit: settings (counted in `settings`) with their
// place, label and the two values; images, heads and units by what the audit says of them,
// images with both checksums.
void AddFindingRows(const backup::UnitAudit& unit, std::vector<QStringList>& rows,
                    std::size_t& settings) {
  const Lang lang = CurrentLanguage();
  for (const backup::Finding& finding : unit.findings) {
    const QString head = finding.head == 0 ? QString() : QString::number(finding.head);
    if (finding.kind == backup::FindingKind::kSetting) {
      rows.push_back({head, Q(compare::PlaceText(finding.setting, lang)), Q(finding.setting.label),
                      Q(finding.setting.a), Q(finding.setting.b)});
      ++settings;
    } else if (finding.number >= 0) {
      rows.push_back({head, QString(), Cell(backup::FindingText(finding, lang)),
                      ShortSum(finding.recorded), ShortSum(finding.now)});
    } else {
      rows.push_back(
          {head, QString(), Cell(backup::FindingText(finding, lang)), QString(), QString()});
    }
  }
}

// The notes that one side's settings were converted to be compared, a head at a time.
std::vector<std::string> ConversionNotes(const std::vector<backup::UnitAudit>& units,
                                         const std::string& file_side,
                                         const std::string& head_side) {
  std::vector<std::string> notes;
  for (const backup::UnitAudit& unit : units) {
    for (const compare::Comparison& comparison : unit.comparisons) {
      const std::string note =
          compare::ConversionNote(comparison, file_side, head_side, CurrentLanguage());
      if (!note.empty()) notes.push_back(note);
    }
  }
  return notes;
}

std::string FolderName(const std::string& dir) {
  return QFileInfo(Q(dir)).fileName().toStdString();
}

}  // namespace

template <typename Job>
void CRidgemoDlg::RunLineJob(Job&& job) {
  EnableCommands(false);
  ClearAbortRequest();
  EnableAbort(true);
  {
    BusyCursor busy;
    job();
  }
  EnableAbort(false);
  EnableCommands(true);
}

backup::ProgressSink CRidgemoDlg::JobProgress() {
  return [this](const backup::Progress& progress) {
    progress_->setRange(0, kJobSteps);
    progress_->setValue(
        progress.bytes_total == 0
            ? 0
            : static_cast<int>(progress.bytes_done * kJobSteps / progress.bytes_total));
    // The bar is drawn, and a click on Abort reaches the job.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  };
}

std::string CRidgemoDlg::UnitName() const {
  const std::string port = port_->currentText().toStdString();
  if (link::TransportForPort(port) != link::LinkMode::Usb) return port;
  return device_.empty() ? std::string("USB") : device_;
}

void CRidgemoDlg::ShowResults(ToolText title, const std::string& summary,
                              const QStringList& columns, const std::vector<QStringList>& rows) {
  if (results_ == nullptr) results_ = new CResultsDlg(this);
  results_->ShowResult(ToolString(title), Q(summary), columns, rows);
}

bool CRidgemoDlg::ReadHeadSettings(int head, settings::SettingsImage& image) {
  if (!tool::OpenLinkToHead(*this, link_, PortText(), head)) return false;
  progress_->setRange(0, kSettingsBlocks - 1);
  tool::ServiceHooks hooks;
  hooks.progress = [this](int block) {
    progress_->setValue(block);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  };
  hooks.abort = [this] { return abort_requested_; };
  const transfer::SettingsResult read = transfer::ReadSettings(link_, head, image, hooks);
  link_.CloseLink(transfer::ClosingFrameAfter(read));
  if (read == transfer::SettingsResult::kDone) return true;
  ShowMessage(tool::ErrorBox(transfer::SettingsResultText(read)));
  return false;
}

void CRidgemoDlg::OnBackup() {
  if (Busy()) return;
  if (const auto chosen = AskFolder(ToolText::kBackupFolderTitle, kBackupKind)) BackupInto(*chosen);
}

void CRidgemoDlg::BackupInto(const std::string& dir) {
  RunCommand([this, &dir] {
    // Only an earlier backup of one unit is replaced, and only after asking; the backup
    // core refuses anything else again on its own.
    const backup::FolderKind kind = backup::KindOfFolder(dir);
    if (kind == backup::FolderKind::kLineBackup) {
      ShowMessage(
          tool::ErrorBox(ToolText::kLineBackupChosen, Text(ToolText::kLineBackupChosen, {dir})));
      return;
    }
    const std::string refusal = backup::ReplaceRefusal(dir, false, CurrentLanguage());
    if (!refusal.empty()) {
      ShowMessage(tool::ErrorBox(ToolText::kNotABackup, refusal));
      return;
    }
    if (kind == backup::FolderKind::kHeadBackup &&
        ShowMessage(Question(ToolText::kReplaceQuestion, dir)) != tool::Answer::Yes)
      return;
    RunLineJob([&] {
      std::string serial;
      std::vector<int> heads = backup::PresentHeads(link_, PortText(), serial);
      // No head answers: the backup's own transfer says why.
      if (heads.empty()) heads = {target_head_->currentIndex() + 1};
      backup::BackupJob job{*this, link_, PortText(), heads};
      job.replace = kind != backup::FolderKind::kAbsent;
      job.program = std::string("ridgemo ") + KYR_VERSION;
      job.unit_serial = serial;
      job.lang = CurrentLanguage();
      job.progress = JobProgress();
      job.interrupted = [this] { return abort_requested_; };
      std::string problem;
      if (backup::BackupUnit(job, dir, problem) != backup::Outcome::kDone) {
        ShowMessage(
            tool::ErrorBox(ToolText::kBackupFailed, Text(ToolText::kBackupFailed, {dir, problem})));
        return;
      }
      const auto manifest = ReadManifest(dir);
      int files = 0;
      const auto rows = manifest ? FileRows(*manifest, true, files) : std::vector<QStringList>{};
      ShowResults(
          ToolText::kResultBackup,
          Text(ToolText::kBackupSummary, {serial.empty() ? UnitName() : serial, dir,
                                          std::to_string(heads.size()), std::to_string(files)}),
          FileColumns(), rows);
    });
  });
}

void CRidgemoDlg::OnRestore() {
  if (Busy()) return;
  if (const auto chosen = AskFolder(ToolText::kRestoreFolderTitle, kBackupKind))
    RestoreFrom(*chosen);
}

void CRidgemoDlg::RestoreFrom(const std::string& dir) {
  RunCommand([this, &dir] {
    std::string problem;
    const auto manifest = backup::PreflightRestore(dir, std::nullopt, problem, CurrentLanguage());
    if (!manifest) {
      ShowMessage(tool::ErrorBox(
          ToolText::kRestoreFailed,
          Text(ToolText::kRestoreFailed, {problem}) + ' ' + Text(ToolText::kNothingSent)));
      return;
    }
    if (ShowMessage(Question(ToolText::kRestoreQuestion, dir)) != tool::Answer::Yes) return;
    RunLineJob([&] {
      backup::RestoreJob job{*this, link_, PortText(), std::nullopt};
      job.lang = CurrentLanguage();
      job.progress = JobProgress();
      job.interrupted = [this] { return abort_requested_; };
      if (backup::RestoreUnit(job, dir, *manifest, problem) != backup::Outcome::kDone) {
        ShowMessage(
            tool::ErrorBox(ToolText::kRestoreFailed, Text(ToolText::kRestoreFailed, {problem})));
        return;
      }
      int files = 0;
      const auto rows = FileRows(*manifest, false, files);
      ShowResults(
          ToolText::kResultRestore,
          Text(ToolText::kRestoreSummary,
               {dir, UnitName(), std::to_string(manifest->heads.size()), std::to_string(files)}),
          FileColumns(), rows);
    });
  });
}

void CRidgemoDlg::OnCompareWithFile() {
  if (Busy()) return;
  if (const auto chosen = AskOpenFile(userport::SettingsFileFilters(), ""))
    CompareWithFile(*chosen);
}

void CRidgemoDlg::CompareWithFile(const std::string& path) {
  RunCommand([this, &path] {
    auto file = std::make_unique<settings::SettingsImage>();
    const settings::ReadResult read = settings::ReadSettingsFile(path, *file);
    if (read != settings::ReadResult::kComplete) {
      const std::string why(LoadString(read == settings::ReadResult::kShortFile
                                           ? EditorText::kIllegalContents
                                           : EditorText::kFailToOpenSettings));
      ShowMessage(tool::ErrorBox(ToolText::kCompareFailed,
                                 Text(ToolText::kCompareFailed, {path + ": " + why})));
      return;
    }
    const int head = target_head_->currentIndex();
    RunLineJob([&] {
      auto unit = std::make_unique<settings::SettingsImage>();
      if (!ReadHeadSettings(head, *unit)) return;
      const Lang lang = CurrentLanguage();
      const compare::Comparison comparison = compare::CompareSettings(*file, *unit, lang);
      const std::string file_side = Text(ToolText::kFileSide, {FolderName(path)});
      const std::string head_side = Text(ToolText::kUnitSide, {UnitName()});
      std::vector<QStringList> rows;
      AddDifferenceRows(comparison, head + 1, rows);
      std::string summary =
          Text(ToolText::kCompareSummary, {file_side, UnitName(), std::to_string(head + 1)});
      const std::string note = compare::ConversionNote(comparison, file_side, head_side, lang);
      if (!note.empty()) summary += "\n" + note;
      ShowResults(ToolText::kResultCompare, summary + "\n" + CountLine(rows.size()),
                  CompareColumns(file_side, head_side), rows);
    });
  });
}

void CRidgemoDlg::OnCompareWithBackup() {
  if (Busy()) return;
  if (const auto chosen = AskFolder(ToolText::kCompareFolderTitle, kBackupKind))
    CompareWithBackup(*chosen);
}

void CRidgemoDlg::CompareWithBackup(const std::string& dir) {
  RunCommand([this, &dir] {
    // The same checks as before a restore: every file there and unchanged.
    std::string problem;
    const auto record = backup::LoadRecord(dir, problem, CurrentLanguage());
    if (!record) {
      ShowMessage(
          tool::ErrorBox(ToolText::kCompareFailed, Text(ToolText::kCompareFailed, {problem})));
      return;
    }
    RunLineJob([&] {
      const Lang lang = CurrentLanguage();
      backup::ReadChoices choices;
      choices.lang = lang;
      choices.progress = JobProgress();
      choices.interrupted = [this] { return abort_requested_; };
      const backup::UnitReading reading = backup::ReadUnit(link_, PortText(), choices);
      if (!reading.present || !reading.problem.empty()) {
        std::string why = reading.problem;
        if (why.empty()) why = Text(ToolText::kAuditNotOpened) + ' ' + link_.LastFailure().Line();
        ShowMessage(
            tool::ErrorBox(ToolText::kCompareFailed, Text(ToolText::kCompareFailed, {why})));
        return;
      }
      // A head backup is the chosen unit's whatever its serial number (it may be restored
      // onto another); in a line backup the unit is found by its serial number or port.
      const std::vector<backup::UnitAudit> units =
          record->size() == 1 ? std::vector{backup::AuditOneUnit(record->front(), reading, lang)}
                              : backup::AuditLine(dir, *record, {reading}, lang, true).units;
      const std::string file_side = Text(ToolText::kBackupSide, {FolderName(dir)});
      const std::string head_side = Text(ToolText::kUnitSide, {UnitName()});
      std::vector<QStringList> rows;
      std::size_t settings = 0;
      for (const backup::UnitAudit& unit : units) AddFindingRows(unit, rows, settings);
      std::string heads;
      for (const int head : reading.answering)
        heads += (heads.empty() ? "" : ", ") + std::to_string(head);
      std::string summary = Text(ToolText::kCompareSummary, {file_side, UnitName(), heads});
      for (const std::string& note : ConversionNotes(units, file_side, head_side))
        summary += "\n" + note;
      summary += "\n" + CountLine(settings);
      if (rows.size() > settings)
        summary +=
            "\n" + Text(ToolText::kOtherDifferences, {std::to_string(rows.size() - settings)});
      ShowResults(ToolText::kResultCompare, summary, CompareColumns(file_side, head_side), rows);
    });
  });
}

}  // namespace kyr::ridgemo
