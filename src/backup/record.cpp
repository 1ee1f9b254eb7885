#include "backup/record.h"

#include "backup/html_text.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "files/regular_file.h"

namespace kyr::backup {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// Strings of the backup page and messages (tool table).

std::string Tool(ToolText id, Lang lang) {
  return HtmlEscaped(LoadString(id, lang));
}

std::string ModelText(int model_code) {
  return model_code == 1 ? "KYR-TC (1)" : std::to_string(model_code);
}

void Row(std::string& html, const std::string& label, const std::string& value) {
  html += "<tr><th>" + label + "</th><td>" + value + "</td></tr>\n";
}

// A figure per image: its bitmap, captioned with its type and number.
void ImageFigures(std::string& html, const HeadEntry& head, Lang lang) {
  bool any = false;
  for (const FileEntry& file : head.files) {
    if (file.kind != kKindBank && file.kind != kKindMemory) continue;
    if (!any) html += "<div class=\"images\">\n";
    any = true;
    std::string bitmap = file.name.substr(0, file.name.size() - 5) + ".bmp";
    const ToolText caption = file.kind == kKindBank ? ToolText::kBankImage : ToolText::kMemoryImage;
    html += "<figure><a href=\"" + HtmlEscaped(bitmap) + "\"><img src=\"" + HtmlEscaped(bitmap) +
            "\" width=\"480\" height=\"272\" alt=\"" + HtmlEscaped(file.name) +
            "\"></a><figcaption>" + Tool(caption, lang) + ' ' + std::to_string(file.number) +
            " &mdash; <a href=\"" + HtmlEscaped(file.name) + "\">" + HtmlEscaped(file.name) +
            "</a></figcaption></figure>\n";
  }
  html += any ? "</div>\n" : "<p>" + Tool(ToolText::kNoImages, lang) + "</p>\n";
}

constexpr std::uint64_t kMostManifestBytes = 16 * 1024 * 1024;
constexpr std::string_view kProgramName = "ridgemo";
constexpr std::string_view kStagingMark = ".partial-";
constexpr std::string_view kAsideMark = ".old-";
constexpr std::size_t kUniqueChars = 6;  // the XXXXXX of mkdtemp
constexpr int kStaleSeconds = 60;

// ".NAME.partial-XXXXXX" or ".NAME.old-XXXXXX": a folder a backup made beside its target.
bool IsOwnTemporaryName(std::string_view name) {
  if (!name.starts_with('.') || name.size() <= kUniqueChars) return false;
  const std::string_view stem = name.substr(0, name.size() - kUniqueChars);
  return stem.ends_with(kStagingMark) || stem.ends_with(kAsideMark);
}

// A folder of ours that no live backup holds (its lock is free) and that has not changed
// for a minute is what a killed run left; it goes with all it holds.
void RemoveStaleTemporaryFolders(const fs::path& parent) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(parent, error)) {
    const std::string name = entry.path().filename().string();
    if (!IsOwnTemporaryName(name)) continue;
    const int fd = ::open(entry.path().c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat info {};
    const bool stale = ::fstat(fd, &info) == 0 && info.st_uid == ::geteuid() &&
                       info.st_mtime + kStaleSeconds < std::time(nullptr) &&
                       ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (stale) fs::remove_all(entry.path(), error);
    ::close(fd);
  }
}

mode_t FolderMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0777 & ~mask;
}

bool IsHeadBackup(const fs::path& dir) {
  files::OpenProblem problem{};
  const auto text =
      files::ReadRegularFile((dir / kManifestName).string(), kMostManifestBytes, problem);
  if (!text) return false;
  std::string reason;
  const auto manifest = ParseManifest(*text, reason);
  return manifest && manifest->program.starts_with(kProgramName);
}

}  // namespace

FolderKind KindOfFolder(const std::string& dir) {
  std::error_code error;
  const fs::file_status status = fs::symlink_status(dir, error);
  if (!fs::exists(status)) return FolderKind::kAbsent;
  if (!fs::is_directory(status)) return FolderKind::kOther;
  if (IsHeadBackup(dir)) return FolderKind::kHeadBackup;
  if (fs::exists(fs::path(dir) / kManifestName, error)) return FolderKind::kOther;
  int units = 0;
  for (const auto& entry : fs::directory_iterator(dir, error)) {
    const std::string name = entry.path().filename().string();
    if (IsOwnTemporaryName(name)) continue;
    if (name == kAuditReportName && fs::is_regular_file(entry.symlink_status(error))) continue;
    if (!fs::is_directory(entry.symlink_status(error)) || !IsHeadBackup(entry.path()))
      return FolderKind::kOther;
    ++units;
  }
  if (error) return FolderKind::kOther;
  return units > 0 ? FolderKind::kLineBackup : FolderKind::kEmptyFolder;
}

std::string HeadFolder(int head) {
  return "head" + std::to_string(head);
}

std::string ManifestText(const Manifest& manifest) {
  json heads = json::array();
  for (const HeadEntry& head : manifest.heads) {
    json files = json::array();
    for (const FileEntry& file : head.files) {
      json entry = {
          {"name", file.name}, {"kind", file.kind}, {"size", file.size}, {"sha256", file.sha256}};
      if (file.number >= 0) entry["number"] = file.number;
      files.push_back(std::move(entry));
    }
    heads.push_back({{"head", head.head},
                     {"model_code", head.model_code},
                     {"settings_version", head.settings_version},
                     {"files", std::move(files)}});
  }
  const json document = {{"format", manifest.format},
                         {"program", manifest.program},
                         {"time", manifest.time},
                         {"port", manifest.port},
                         {"unit_serial", manifest.unit_serial},
                         {"heads", std::move(heads)}};
  return document.dump(2) + "\n";
}

std::optional<Manifest> ParseManifest(std::string_view text, std::string& problem) {
  const json document = json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (document.is_discarded() || !document.is_object()) {
    problem = "not JSON";
    return std::nullopt;
  }
  try {
    Manifest manifest;
    manifest.format = document.at("format").get<int>();
    if (manifest.format != kManifestFormat) {
      problem = "format " + std::to_string(manifest.format) + " is not known";
      return std::nullopt;
    }
    manifest.program = document.at("program").get<std::string>();
    manifest.time = document.at("time").get<std::string>();
    manifest.port = document.at("port").get<std::string>();
    manifest.unit_serial = document.at("unit_serial").get<std::string>();
    for (const json& head : document.at("heads")) {
      HeadEntry entry;
      entry.head = head.at("head").get<int>();
      entry.model_code = head.at("model_code").get<int>();
      entry.settings_version = head.at("settings_version").get<int>();
      if (entry.head < 1 || entry.head > 3) throw std::out_of_range("head number");
      for (const json& file : head.at("files")) {
        FileEntry f;
        f.name = file.at("name").get<std::string>();
        f.kind = file.at("kind").get<std::string>();
        f.number = file.value("number", -1);
        f.size = file.at("size").get<std::uint64_t>();
        f.sha256 = file.at("sha256").get<std::string>();
        // Names stay inside the backup folder.
        if (f.name.empty() || f.name.front() == '/' || f.name.find("..") != std::string::npos)
          throw std::out_of_range("file name " + f.name);
        entry.files.push_back(std::move(f));
      }
      manifest.heads.push_back(std::move(entry));
    }
    return manifest;
  } catch (const std::exception& error) {
    problem = error.what();
    return std::nullopt;
  }
}

std::string IndexHtml(const Manifest& manifest, Lang lang) {
  const std::string title = Tool(ToolText::kBackupPageTitle, lang);
  std::string html = "<!DOCTYPE html>\n<html lang=\"" +
                     std::string(lang == Lang::Ja ? "ja" : "en") +
                     "\">\n<head>\n<meta charset=\"utf-8\">\n<title>" + title +
                     "</title>\n<style>\n"
                     "body{font-family:sans-serif;margin:1.5em;color:#222}\n"
                     "table{border-collapse:collapse;margin-bottom:1em}\n"
                     "th,td{border:1px solid #bbb;padding:.25em .6em;text-align:left}\n"
                     ".images{display:flex;flex-wrap:wrap;gap:1em}\n"
                     "figure{margin:0}\nimg{image-rendering:pixelated;border:1px solid #888;"
                     "max-width:100%;height:auto}\n</style>\n</head>\n<body>\n<h1>" +
                     title + "</h1>\n<table>\n";
  Row(html, Tool(ToolText::kUnit, lang),
      manifest.unit_serial.empty() ? Tool(ToolText::kUnknownSerial, lang)
                                   : HtmlEscaped(manifest.unit_serial));
  Row(html, Tool(ToolText::kPort, lang), HtmlEscaped(manifest.port));
  Row(html, Tool(ToolText::kDate, lang), HtmlEscaped(manifest.time));
  html += "</table>\n";
  for (const HeadEntry& head : manifest.heads) {
    html +=
        "<h2>" + Tool(ToolText::kHead, lang) + ' ' + std::to_string(head.head) + "</h2>\n<table>\n";
    Row(html, Tool(ToolText::kModel, lang), ModelText(head.model_code));
    Row(html, Tool(ToolText::kSettingsVersion, lang), std::to_string(head.settings_version));
    const std::string settings = HeadFolder(head.head) + "/" + std::string(kSettingsName);
    Row(html, Tool(ToolText::kSettingsFile, lang),
        "<a href=\"" + settings + "\">" + settings + "</a>");
    html += "</table>\n";
    ImageFigures(html, head, lang);
  }
  return html + "<p><small>" + HtmlEscaped(manifest.program) + "</small></p>\n</body>\n</html>\n";
}

std::string UtcNowText() {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

std::string SizeText(std::uint64_t bytes) {
  char text[32];
  if (bytes < 1024 * 1024) {
    std::snprintf(text, sizeof text, "%llu KB",
                  static_cast<unsigned long long>((bytes + 1023) / 1024));
  } else {
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
  }
  return text;
}

StagingFolder::StagingFolder(const std::string& target) : target_(target) {
  const fs::path path = fs::absolute(fs::path(target)).lexically_normal();
  const fs::path parent =
      path.has_filename() ? path.parent_path() : path.parent_path().parent_path();
  const std::string name = (path.has_filename() ? path : path.parent_path()).filename().string();
  target_ = (parent / name).string();
  RemoveStaleTemporaryFolders(parent);
  std::string pattern = (parent / ("." + name + std::string(kStagingMark) + "XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) return;
  path_ = pattern;
  ::chmod(path_.c_str(), FolderMode());
  lock_ = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (lock_ >= 0) ::flock(lock_, LOCK_EX);
}

StagingFolder::~StagingFolder() {
  if (!committed_ && !path_.empty()) {
    std::error_code error;
    fs::remove_all(path_, error);
  }
  if (lock_ >= 0) ::close(lock_);
}

bool StagingFolder::Commit(bool replace, std::string& problem, Lang lang) {
  std::error_code error;
  const fs::path target(target_);
  std::string old;
  int aside_lock = -1;
  if (fs::exists(fs::symlink_status(target, error))) {
    if (!replace) {
      problem = FormatMessage(LoadString(ToolText::kFolderExists, lang), {target_});
      return false;
    }
    // The old folder moves aside onto an empty place holder (rename replaces an empty
    // directory), and is removed only once the new one stands under the name.
    old = (target.parent_path() /
           ("." + target.filename().string() + std::string(kAsideMark) + "XXXXXX"))
              .string();
    // Locked before it moves, so that a backup running beside this one leaves it alone.
    aside_lock = ::open(target_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (aside_lock >= 0) ::flock(aside_lock, LOCK_EX | LOCK_NB);
    if (::mkdtemp(old.data()) == nullptr || (fs::rename(target, old, error), error)) {
      fs::remove(old, error);
      if (aside_lock >= 0) ::close(aside_lock);
      problem = FormatMessage(LoadString(ToolText::kCannotMoveAside, lang), {target_});
      return false;
    }
  }
  fs::rename(path_, target, error);
  if (error) {
    problem = FormatMessage(LoadString(ToolText::kCannotRename, lang), {target_, error.message()});
    if (!old.empty()) fs::rename(old, target, error);
    if (aside_lock >= 0) ::close(aside_lock);
    return false;
  }
  committed_ = true;
  if (lock_ >= 0) ::close(lock_);  // the folder is the backup now, no leftover to guard
  lock_ = -1;
  if (!old.empty()) fs::remove_all(old, error);
  if (aside_lock >= 0) ::close(aside_lock);
  return true;
}

}  // namespace kyr::backup
