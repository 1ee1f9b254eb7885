#pragma once
// Backup and restore of a head unit: every head's settings and its bank and memory images
// into one folder, and back into a unit.
//
// Both run the head services (settings read and write, image presence, read and write) over
// one link session per head, show a failed service's message on the user's host as the
// window's commands do, and turn the services' progress into one progress for the whole
// job. Problems are sentences in the job's language.
//
// Typical use (the command line):
//   BackupJob job{host, link, port, ...};
//   BackupUnit(job, "line3/unit7", problem);
//   auto manifest = PreflightRestore("line3/unit7", std::nullopt, problem);
//   RestoreUnit(restore_job, "line3/unit7", *manifest, problem);
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "backup/progress.h"
#include "backup/record.h"
#include "link/link.h"
#include "settings/settings_image.h"
#include "tool/tool_host.h"

namespace kyr::backup {

struct BackupJob {
  tool::ToolHost& host;  // the user: failure messages go here
  link::Link& link;
  std::string port;
  std::vector<int> heads{};  // 1 to 3
  bool bank_images = true;
  bool memory_images = true;
  bool replace = false;       // an existing folder is replaced (only once the new one is complete)
  std::string program{};      // "ridgemo 1.2.3" for the manifest
  std::string unit_serial{};  // for the manifest; may be empty
  Lang lang = Lang::En;       // of index.html and the problems
  ProgressSink progress{};
  std::function<bool()> interrupted{};  // polled between and inside transfers
};

enum class [[nodiscard]] Outcome{kDone, kRefused, kFailed, kDiffers};
std::string_view OutcomeName(Outcome outcome);
std::ostream& operator<<(std::ostream& out, Outcome outcome);

// The heads (1 to 3) that answer on the unit behind `port`, and the unit's USB serial
// number (empty over a serial port). Empty when the link cannot be opened.
std::vector<int> PresentHeads(link::Link& link, const std::string& port, std::string& unit_serial);

// Writes the backup of the job's heads into `dir`: kRefused when `dir` exists and the job
// does not replace it; otherwise nothing appears under `dir` unless everything arrived.
Outcome BackupUnit(BackupJob& job, const std::string& dir, std::string& problem);

// Why a backup into `dir` may not replace what stands there, in `lang`; empty when nothing
// stands there or it is a backup of the same kind (`line`: a line backup of every unit).
std::string ReplaceRefusal(const std::string& dir, bool line, Lang lang);

// Checks a backup folder before anything is sent: every file is a regular file of the size
// its kind has, each image is named once with a number in range, the manifest, every file's
// presence, size and checksum, the model code of each settings file against the manifest, and that
// its settings version can be converted. `head` (1 to 3) limits the check to one head. The problem
// is a sentence in `lang`.
std::optional<Manifest> PreflightRestore(const std::string& dir, std::optional<int> head,
                                         std::string& problem, Lang lang);

struct RestoreJob {
  tool::ToolHost& host;
  link::Link& link;
  std::string port;
  std::optional<int> head;  // restore only this head of the backup (1 to 3)
  bool images = true;
  bool verify = false;   // read everything back and name the first difference
  Lang lang = Lang::En;  // of the problems
  ProgressSink progress{};
  std::function<bool()> interrupted{};
};

// Writes the whole settings (converted to the head's settings version as Write Settings
// does) and the images of each head of `manifest` onto the same head number. kDiffers when
// the verification found a difference, named in `problem`.
Outcome RestoreUnit(RestoreJob& job, const std::string& dir, const Manifest& manifest,
                    std::string& problem);

// Reads the whole settings of head `head` (1 to 3) into `image` on a link session of its
// own; false after the failure was shown on `host`.
bool ReadHeadSettings(tool::ToolHost& host, link::Link& link, const std::string& port, int head,
                      settings::SettingsImage& image);

}  // namespace kyr::backup
