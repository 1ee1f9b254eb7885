#pragma once
// What a backup folder holds and how it is written: the manifest (manifest.json), the page a
// person opens (index.html), and the staging folder that becomes the backup only when
// complete.
//
// Layout of a backup of one unit:
//   DIR/manifest.json, DIR/index.html
//   DIR/headN/settings.kdta                     the settings as Read All Settings writes them
//   DIR/headN/bank.NN.kimg, DIR/headN/bank.NN.bmp     every registered bank image
//   DIR/headN/memory.NN.kimg, DIR/headN/memory.NN.bmp every memory image
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "strings/strings.h"

namespace kyr::backup {

inline constexpr int kManifestFormat = 1;
inline constexpr std::string_view kManifestName = "manifest.json";
inline constexpr std::string_view kIndexName = "index.html";
inline constexpr std::string_view kSettingsName = "settings.kdta";
// The page of the last audit of the backup, kept in its folder (a line backup's too).
inline constexpr std::string_view kAuditReportName = "audit.html";

// Kinds of files in a head's list.
inline constexpr std::string_view kKindSettings = "settings";
inline constexpr std::string_view kKindBank = "bank";
inline constexpr std::string_view kKindMemory = "memory";
inline constexpr std::string_view kKindBitmap = "bitmap";

struct FileEntry {
  std::string name;  // relative to the backup folder, with "/"
  std::string kind;
  int number = -1;  // the image number of an image or its bitmap
  std::uint64_t size = 0;
  std::string sha256;
};

struct HeadEntry {
  int head = 1;  // 1 to 3
  int model_code = 0;
  int settings_version = 0;
  std::vector<FileEntry> files;
};

struct Manifest {
  int format = kManifestFormat;
  std::string program;  // "ridgemo 1.2.3"
  std::string time;     // UTC, ISO 8601
  std::string port;
  std::string unit_serial;  // empty when the port gives none (a serial port)
  std::vector<HeadEntry> heads;
};

// The folder of head `head` (1 to 3) inside a backup: "head1".
std::string HeadFolder(int head);

std::string ManifestText(const Manifest& manifest);
// Nullopt and a reason in `problem` when the text is not a manifest of this format.
std::optional<Manifest> ParseManifest(std::string_view text, std::string& problem);

// The page that shows what the backup holds, in `lang`.
std::string IndexHtml(const Manifest& manifest, Lang lang);

// "2026-12-07T14:40:05Z".
std::string UtcNowText();

// A size for people: "41 KB", "4.2 MB".
std::string SizeText(std::uint64_t bytes);

// What stands at the path a backup is to be written to. Only a backup of the same kind is
// ever replaced: a head backup (its manifest parses and names ridgemo), or a line backup
// (a folder of unit folders that are head backups).
enum class FolderKind { kAbsent, kEmptyFolder, kHeadBackup, kLineBackup, kOther };
FolderKind KindOfFolder(const std::string& dir);

// A folder beside `target` that the backup is written into, renamed to `target` by Commit
// and removed with all it holds when the object goes without a commit. It has the
// permissions a plain mkdir gives (0777 less the umask). While it exists it is locked, so
// that the next backup beside it can tell a folder left by a killed run (older than a
// minute, not locked) and remove it.
class StagingFolder {
 public:
  explicit StagingFolder(const std::string& target);
  ~StagingFolder();
  StagingFolder(const StagingFolder&) = delete;
  StagingFolder& operator=(const StagingFolder&) = delete;

  bool Created() const { return !path_.empty(); }
  const std::string& path() const { return path_; }

  // Puts the staging folder in place of `target`. An existing target is replaced only when
  // `replace` is set, and removed only after the new folder is in place. False with the
  // reason in `problem` (in `lang`) when the target could not be replaced; the old one then
  // stays.
  bool Commit(bool replace, std::string& problem, Lang lang);

 private:
  std::string target_;
  std::string path_;
  int lock_ = -1;
  bool committed_ = false;
};

}  // namespace kyr::backup
