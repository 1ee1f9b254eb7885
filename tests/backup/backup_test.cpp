// Backup and restore of whole units against simulated head units on simulated time.
#include "backup/operations.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <memory>

#include "backup/sha256.h"
#include "common/head_rig.h"
#include "common/tool_host.h"
#include "compare/compare.h"
#include "settings/initial_values.h"
#include "settings/settings_file.h"

namespace kyr::backup {
namespace {

namespace fs = std::filesystem;
using headsim::ImageKind;
using test_common::ReadAll;
using test_common::WriteAll;

// A source unit holding two registered bank images (0 and 5) and memory image 2, each with
// its own content; a blank target unit; a folder; a recording host.
struct Rig {
  Rig() {
    settings::SettingsImage image{};
    settings::CommentTexts comments{};
    settings::InitializeSettings(image, comments);
    image[settings::BankWord(5, 2)] = 77;  // "Light#1 Bright"
    source.Head().settings = image;
    for (const auto& [kind, number] :
         {std::pair{ImageKind::kBank, 0}, {ImageKind::kBank, 5}, {ImageKind::kMemory, 2}}) {
      for (int word = 0; word < headsim::kImageWords; word += 97) {
        source.Head().WriteImageWord({kind, number, word},
                                     static_cast<std::uint16_t>(word * 7 + number));
      }
    }
    // A written memory image is marked present; a bank image is registered by its settings.
    for (const int bank : {0, 5}) {
      source.Head().settings[static_cast<std::size_t>(settings::BankWord(bank, 5))] &= 0x7FFF;
    }
  }

  Outcome Backup(const std::string& dir, bool replace = false) {
    BackupJob job{host, source.link, "USB", {1}};
    job.replace = replace;
    job.program = "ridgemo test";
    job.unit_serial = "KYRD0001";
    job.lang = lang;
    return BackupUnit(job, dir, problem);
  }
  Outcome Restore(const std::string& dir, bool verify, ProgressSink progress = {}) {
    const auto manifest = PreflightRestore(dir, std::nullopt, problem, Lang::En);
    if (!manifest) return Outcome::kRefused;
    RestoreJob job{host, target.link, "USB", std::nullopt};
    job.verify = verify;
    job.progress = std::move(progress);
    return RestoreUnit(job, dir, *manifest, problem);
  }
  std::string Dir() const { return folder.File("unit"); }

  void EditManifest(const std::function<void(Manifest&)>& edit) {
    std::string reason;
    auto manifest = ParseManifest(ReadAll(Dir() + "/manifest.json"), reason);
    ASSERT_TRUE(manifest) << reason;
    edit(*manifest);
    WriteAll(Dir() + "/manifest.json", ManifestText(*manifest));
  }
  // Changes the entry of head 1 whose name ends in `name`.
  void EditFile(const std::string& name, const std::function<void(FileEntry&)>& edit) {
    EditManifest([&](Manifest& manifest) {
      for (FileEntry& file : manifest.heads[0].files)
        if (file.name.ends_with(name)) edit(file);
    });
  }
  // Writes `bytes` into head 1's file `name` and the manifest to match, as a careful forger.
  void Reseal(const std::string& name, const std::string& bytes) {
    WriteAll(Dir() + "/head1/" + name, bytes);
    EditFile(name, [&](FileEntry& file) {
      file.size = bytes.size();
      file.sha256 = Sha256Hex(bytes);
    });
  }

  test_common::HeadRig source{{.serial = "KYRD0001"}};
  test_common::HeadRig target{{.serial = "KYRD0002"}};
  test_common::TempFolder folder;
  test_common::RecordingToolHost host;
  std::string problem;
  Lang lang = Lang::En;  // of the backup's problems
};

TEST(Backup, RestoredOntoAnotherUnitGivesEqualMemoryAndImages) {
  Rig rig;
  ASSERT_EQ(rig.Backup(rig.Dir()), Outcome::kDone) << rig.problem;
  EXPECT_EQ(rig.folder.Names(), std::vector<std::string>{"unit"});
  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(rig.Dir()))
    files.push_back(fs::relative(entry.path(), rig.Dir()).string());
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{
                       "head1", "head1/bank.00.bmp", "head1/bank.00.kimg", "head1/bank.05.bmp",
                       "head1/bank.05.kimg", "head1/memory.02.bmp", "head1/memory.02.kimg",
                       "head1/settings.kdta", "index.html", "manifest.json"}));
  std::string problem;
  const auto manifest = ParseManifest(ReadAll(rig.Dir() + "/manifest.json"), problem);
  ASSERT_TRUE(manifest) << problem;
  EXPECT_EQ(manifest->unit_serial, "KYRD0001");
  ASSERT_EQ(manifest->heads.size(), 1u);
  EXPECT_EQ(manifest->heads[0].model_code, 1);
  EXPECT_EQ(manifest->heads[0].settings_version, 3);
  EXPECT_EQ(manifest->heads[0].files.size(), 7u);
  EXPECT_TRUE(rig.host.messages.empty());

  ASSERT_EQ(rig.Restore(rig.Dir(), /*verify=*/true), Outcome::kDone) << rig.problem;
  EXPECT_EQ(rig.target.Settings(), rig.source.Settings());
  for (const auto& [kind, number] :
       {std::pair{ImageKind::kBank, 0}, {ImageKind::kBank, 5}, {ImageKind::kMemory, 2}}) {
    EXPECT_EQ(rig.target.Head().Image(kind, number), rig.source.Head().Image(kind, number));
  }
  const auto equal =
      compare::CompareSettings(rig.source.Settings(), rig.target.Settings(), Lang::En);
  EXPECT_TRUE(equal.Equal());

  // One setting changed in the head is the one line of the comparison with the backup.
  rig.target.Head().settings[static_cast<std::size_t>(settings::WindowWord(5, 3, 0))] = 0x6433;
  settings::SettingsImage saved{};
  settings::SettingsImage now{};
  ASSERT_TRUE(ReadHeadSettings(rig.host, rig.target.link, "USB", 1, now));
  ASSERT_EQ(settings::ReadSettingsFile(rig.Dir() + "/head1/settings.kdta", saved),
            settings::ReadResult::kComplete);
  const auto changed = compare::CompareSettings(saved, now, Lang::En);
  ASSERT_EQ(changed.differences.size(), 1u);
  EXPECT_EQ(compare::DifferenceLine(changed.differences[0], Lang::En),
            "Bank 5, Window 4: Inspect X-Pos.: 50 -> 51");
}

// A word the head holds otherwise than it was written is named by its image and the first
// byte of the file that differs.
TEST(Restore, VerifyNamesTheFirstDifferingByte) {
  for (const auto& [flip, byte] : {std::pair{0x0001, 1940}, {0x0100, 1941}}) {
    Rig rig;
    ASSERT_EQ(rig.Backup(rig.Dir()), Outcome::kDone) << rig.problem;
    // Memory image 2 is written last; it changes before it is read back.
    bool changed = false;
    const auto change = [&](const Progress& progress) {
      if (changed || progress.files_done < progress.files_total) return;
      changed = true;
      const headsim::ImageWordRef word{ImageKind::kMemory, 2, 970};
      rig.target.Head().WriteImageWord(
          word, static_cast<std::uint16_t>(rig.target.Head().ImageWord(word) ^ flip));
    };
    EXPECT_EQ(rig.Restore(rig.Dir(), /*verify=*/true, change), Outcome::kDiffers);
    EXPECT_EQ(rig.problem, "Head 1, memory image 2 differs from the backup from byte " +
                               std::to_string(byte) + " on.");
  }
}

// A damaged or incomplete folder is refused before the link opens.
TEST(Restore, RefusesADamagedFolderBeforeAnythingIsSent) {
  Rig rig;
  ASSERT_EQ(rig.Backup(rig.Dir()), Outcome::kDone) << rig.problem;
  const std::string head1 = rig.Dir() + "/head1/";
  const struct {
    const char* what;
    std::function<void()> damage;
    std::string problem;
  } cases[] = {
      {"a missing image", [&] { fs::remove(head1 + "bank.05.kimg"); },
       head1 + "bank.05.kimg is missing."},
      {"a changed byte",
       [&] {
         std::string bytes = ReadAll(head1 + "memory.02.kimg");
         bytes[1000] ^= 1;
         WriteAll(head1 + "memory.02.kimg", bytes);
       },
       head1 + "memory.02.kimg does not match its checksum."},
      {"a short settings file",
       [&] { WriteAll(head1 + "settings.kdta", ReadAll(head1 + "settings.kdta").substr(0, 9000)); },
       head1 + "settings.kdta has 9000 bytes; a file of its kind has 41984."},
      {"no manifest", [&] { fs::remove(rig.Dir() + "/manifest.json"); },
       rig.Dir() + "/manifest.json is missing."},
      {"a manifest that is no manifest", [&] { WriteAll(rig.Dir() + "/manifest.json", "{}"); },
       rig.Dir() + "/manifest.json is not a backup manifest ("},
      {"a manifest that is a folder",
       [&] {
         fs::remove(rig.Dir() + "/manifest.json");
         fs::create_directory(rig.Dir() + "/manifest.json");
       },
       rig.Dir() + "/manifest.json is not a regular file."},
      {"a manifest that is a FIFO",
       [&] {
         fs::remove(rig.Dir() + "/manifest.json");
         ::mkfifo((rig.Dir() + "/manifest.json").c_str(), 0600);
       },
       rig.Dir() + "/manifest.json is not a regular file."},
      {"an image linked to /dev/zero",
       [&] {
         fs::remove(head1 + "bank.00.kimg");
         fs::create_symlink("/dev/zero", head1 + "bank.00.kimg");
       },
       head1 + "bank.00.kimg is not a regular file."},
      {"no head", [&] { rig.EditManifest([](Manifest& m) { m.heads.clear(); }); },
       "The backup names no head."},
      {"a head twice",
       [&] { rig.EditManifest([](Manifest& m) { m.heads.push_back(m.heads[0]); }); },
       "The backup names head 1 more than once."},
      {"a short image, its size and checksum updated",
       [&] { rig.Reseal("bank.05.kimg", ReadAll(head1 + "bank.05.kimg").substr(0, 1000)); },
       head1 + "bank.05.kimg has 1000 bytes; a file of its kind has 131072."},
      {"an image number out of range",
       [&] { rig.EditFile("bank.05.kimg", [](FileEntry& f) { f.number = 99; }); },
       "Head 1: head1/bank.05.kimg has the image number 99, outside 0 to 31."},
      {"an unknown kind",
       [&] { rig.EditFile("memory.02.bmp", [](FileEntry& f) { f.kind = "sound"; }); },
       "Head 1: head1/memory.02.bmp is of the unknown kind \"sound\"."},
      {"an image named twice",
       [&] {
         rig.EditManifest([](Manifest& m) { m.heads[0].files.push_back(m.heads[0].files[1]); });
       },
       "Head 1: head1/bank.00.kimg names an image that another entry names too."},
      {"settings elsewhere",
       [&] { rig.EditFile("settings.kdta", [](FileEntry& f) { f.name = "head1/bank.00.kimg"; }); },
       "Head 1: head1/bank.00.kimg is not the settings file of the head (head1/settings.kdta)."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string copy = rig.folder.File("copy");
    fs::remove_all(copy);
    fs::copy(rig.Dir(), copy, fs::copy_options::recursive);
    c.damage();
    EXPECT_EQ(rig.Restore(rig.Dir(), false), Outcome::kRefused);
    EXPECT_TRUE(rig.problem.starts_with(c.problem)) << rig.problem;
    fs::remove_all(rig.Dir());
    fs::rename(copy, rig.Dir());
  }
  std::string problem;
  EXPECT_FALSE(PreflightRestore(rig.Dir(), 2, problem, Lang::En));
  EXPECT_EQ(problem, "The backup holds no head 2.");
  EXPECT_EQ(rig.target.engine().Stats().handshakes, 0);
  EXPECT_EQ(rig.target.engine().Stats().commands, 0);
}

// A link that drops in the middle leaves neither the folder nor its staging folder, and an
// existing backup stays as it was. The problem is told in the job's language.
TEST(Backup, ADroppedLinkLeavesNothingBehind) {
  for (const bool existing : {false, true}) {
    SCOPED_TRACE(existing ? "replacing" : "new");
    Rig rig;
    rig.lang = existing ? Lang::Ja : Lang::En;
    std::string manifest;
    if (existing) {
      ASSERT_EQ(rig.Backup(rig.Dir()), Outcome::kDone) << rig.problem;
      manifest = ReadAll(rig.Dir() + "/manifest.json");
    }
    rig.source.AddFault(headsim::FaultKind::kDroppedLink, headsim::kAny, 300);
    EXPECT_EQ(rig.Backup(rig.Dir(), existing), Outcome::kFailed);
    EXPECT_FALSE(rig.problem.empty());
    const bool english = std::any_of(rig.problem.begin(), rig.problem.end(), [](char c) {
      return std::isalpha(static_cast<unsigned char>(c));
    });
    EXPECT_EQ(english, rig.lang == Lang::En) << rig.problem;
    EXPECT_EQ(rig.folder.Names(),
              existing ? std::vector<std::string>{"unit"} : std::vector<std::string>{});
    if (existing) {
      EXPECT_EQ(ReadAll(rig.Dir() + "/manifest.json"), manifest);
    }
  }
  Rig rig;
  fs::create_directory(rig.Dir());
  EXPECT_EQ(rig.Backup(rig.Dir(), false), Outcome::kRefused);
  EXPECT_EQ(rig.source.engine().Stats().handshakes, 0);
}

// Only a backup of the same kind is replaced; anything else stays as it was and the head is
// not asked for anything.
TEST(Backup, ReplacesOnlyABackupOfTheSameKind) {
  Rig rig;
  ASSERT_EQ(rig.Backup(rig.Dir()), Outcome::kDone) << rig.problem;
  const std::string line = rig.folder.File("line");
  fs::create_directories(line);
  fs::copy(rig.Dir(), line + "/KYRD0001", fs::copy_options::recursive);
  const std::string other = rig.folder.File("notbackup");
  fs::create_directories(other);
  WriteAll(other + "/thesis.txt", "important");
  const std::string empty = rig.folder.File("empty");
  fs::create_directories(empty);
  const auto not_backup = [](const std::string& dir) {
    return dir + " is not a backup written by ridgemo; it was left as it is.";
  };
  const struct {
    std::string dir;
    FolderKind kind;
    std::string as_head;  // the refusal of a head backup into dir ("" = replaced)
    std::string as_line;  // of a line backup
  } cases[] = {
      {rig.Dir(), FolderKind::kHeadBackup, "",
       rig.Dir() + " is the backup of one unit; give it without --device all to replace it."},
      {line, FolderKind::kLineBackup,
       line + " is a line backup (one folder per unit); give --device all to replace it.", ""},
      {other, FolderKind::kOther, not_backup(other), not_backup(other)},
      {other + "/thesis.txt", FolderKind::kOther, not_backup(other + "/thesis.txt"),
       not_backup(other + "/thesis.txt")},
      {empty, FolderKind::kEmptyFolder, "", ""},
  };
  const int handshakes = rig.source.engine().Stats().handshakes;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dir);
    EXPECT_EQ(KindOfFolder(c.dir), c.kind);
    EXPECT_EQ(ReplaceRefusal(c.dir, false, Lang::En), c.as_head);
    EXPECT_EQ(ReplaceRefusal(c.dir, true, Lang::En), c.as_line);
    if (c.as_head.empty()) continue;
    EXPECT_EQ(rig.Backup(c.dir, /*replace=*/true), Outcome::kRefused);
    EXPECT_EQ(rig.problem, c.as_head);
  }
  EXPECT_EQ(rig.source.engine().Stats().handshakes, handshakes);
  EXPECT_EQ(ReadAll(other + "/thesis.txt"), "important");
  EXPECT_EQ(KindOfFolder(line), FolderKind::kLineBackup);
  EXPECT_EQ(rig.Backup(empty, /*replace=*/true), Outcome::kDone) << rig.problem;
  EXPECT_EQ(KindOfFolder(empty), FolderKind::kHeadBackup);
}

// Backup folders get the permissions the files in them get (the umask's), and a staging
// folder a killed run left is removed by the next backup beside it, unless it is still in use.
TEST(Backup, FolderPermissionsAndLeftoversOfAKilledRun) {
  Rig rig;
  const mode_t mask = ::umask(022);
  const auto old = [](const std::string& path) {
    const auto then = fs::file_time_type::clock::now() - std::chrono::minutes(2);
    fs::last_write_time(path, then);
  };
  const std::string stale = rig.folder.File(".unit.partial-abc123");
  const std::string fresh = rig.folder.File(".other.partial-def456");
  const std::string aside = rig.folder.File(".unit.old-ghi789");
  for (const auto& path : {stale, fresh, aside}) fs::create_directories(path + "/head1");
  old(stale);
  old(aside);
  const StagingFolder busy(rig.folder.File("busy"));  // a backup running beside this one
  old(busy.path());
  ASSERT_EQ(rig.Backup(rig.Dir()), Outcome::kDone) << rig.problem;
  ::umask(mask);
  for (const auto& path : {rig.Dir(), rig.Dir() + "/head1"}) {
    EXPECT_EQ(fs::status(path).permissions(), static_cast<fs::perms>(0755)) << path;
  }
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_FALSE(fs::exists(aside));
  EXPECT_TRUE(fs::exists(fresh));
  EXPECT_TRUE(fs::exists(busy.path()));
}

}  // namespace
}  // namespace kyr::backup
