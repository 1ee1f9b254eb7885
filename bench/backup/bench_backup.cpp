// Backup of one head with all 32 bank images registered, over a serial line paced like a
// real one: kyr-headsim --baud 115200 on a pseudo-terminal. The counter "ratio" is the
// measured time over the time the bytes of the exchange need on a 115200 baud line at 10 bits
// a byte, both directions counted (they take turns on the line). The backup's own work (the
// bitmaps, the checksums, the manifest and the page) is inside the measured time.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "../common/quiet_tool_host.h"
#include "backup/operations.h"
#include "link/link.h"
#include "link/system_environment.h"
#include "settings/initial_values.h"
#include "settings/settings_file.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr double kBaud = 115200.0;
constexpr double kBitsPerByte = 10.0;
constexpr double kBankImages = 32;
// Read All Settings: Query heads (7 out, 13 back), 64 blocks of 7 out and 259 back.
// Bank images: the presence phase reads bank word 5 of 32 banks (7 out, 5 back each); each
// image is 16 requests of 32 blocks (7 out), 512 replies of 259 bytes.
constexpr double kToolBytes = 7 + 64 * 7 + 32 * 7 + kBankImages * 16 * 7;
constexpr double kHeadBytes = 13 + 64 * 259 + 32 * 5 + kBankImages * 512 * 259;

double WireSeconds(double bytes) {
  return bytes * kBitsPerByte / kBaud;
}

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "kyr-bench-backup-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempFolder() { fs::remove_all(path_); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

// kyr-headsim --baud 115200 with `settings` on a pseudo-terminal, stopped with the object.
class PacedHeadSim {
 public:
  PacedHeadSim(const std::string& link, const std::string& settings) {
    std::vector<std::string> args = {std::string(KYR_BINARY_DIR) + "/app/kyr-headsim/kyr-headsim",
                                     "--link",
                                     link,
                                     "--baud",
                                     "115200",
                                     "--settings",
                                     settings};
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
    for (int i = 0; i < 500 && pid_ > 0 && !fs::exists(link); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  ~PacedHeadSim() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  PacedHeadSim(const PacedHeadSim&) = delete;
  PacedHeadSim& operator=(const PacedHeadSim&) = delete;
  bool running() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
};

// Initial settings with every bank registered and no memory image.
std::string AllBanksRegistered(const TempFolder& folder) {
  kyr::settings::SettingsImage image{};
  kyr::settings::CommentTexts comments{};
  kyr::settings::InitializeSettings(image, comments);
  for (int bank = 0; bank < kyr::settings::kBankCount; ++bank)
    image[kyr::settings::BankWord(bank, 5)] &= 0x7FFF;
  const std::string path = folder.File("head.kdta");
  std::ofstream(path, std::ios::binary) << kyr::settings::FormatSettingsText(image);
  return path;
}

void BM_BackupOneHead32BankImagesAt115200(benchmark::State& state) {
  TempFolder folder;
  PacedHeadSim sim(folder.File("head"), AllBanksRegistered(folder));
  if (!sim.running() || !fs::exists(folder.File("head"))) {
    state.SkipWithError("kyr-headsim did not start");
    return;
  }
  kyr::bench_common::QuietToolHost host;
  kyr::link::Link link(kyr::link::SystemLinkEnvironment());
  double seconds = 0;
  for (auto _ : state) {
    fs::remove_all(folder.File("backup"));
    kyr::backup::BackupJob job{host, link, folder.File("head"), {1}};
    job.memory_images = false;
    job.program = "bench";
    std::string problem;
    const auto start = std::chrono::steady_clock::now();
    const auto outcome = kyr::backup::BackupUnit(job, folder.File("backup"), problem);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (outcome != kyr::backup::Outcome::kDone ||
        !fs::exists(folder.File("backup/head1/bank.31.kimg"))) {
      state.SkipWithError(("the backup failed: " + problem).c_str());
      return;
    }
  }
  const double runs = static_cast<double>(state.iterations());
  state.counters["wire_s"] = WireSeconds(kToolBytes + kHeadBytes);
  state.counters["backup_s"] = seconds / runs;
  state.counters["ratio"] = seconds / runs / WireSeconds(kToolBytes + kHeadBytes);
}
BENCHMARK(BM_BackupOneHead32BankImagesAt115200)
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace
