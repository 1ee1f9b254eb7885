// Read All Settings over a serial line paced like a real one, and in process.
//
// BM_ReadAllSettingsAt115200 starts kyr-headsim with --baud 115200 on a pseudo-terminal and
// reads its whole settings memory through the tool's serial link. The counter "ratio" is
// the measured time over the time the bytes of the exchange need on a 115200 baud line at
// 10 bits a byte, both directions counted (they take turns on the line); "ratio_head" counts
// only the head's replies, which are all the simulator paces.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "../common/quiet_tool_host.h"
#include "headsim/usb_head.h"
#include "link/link.h"
#include "link/system_environment.h"
#include "tool/tool_host.h"
#include "tool/tool_state.h"
#include "transfer/transfer.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr double kBaud = 115200.0;
constexpr double kBitsPerByte = 10.0;
// Query heads: 7 out, 13 back; then 64 blocks of 7 out and 259 back.
constexpr double kToolBytes = 7 + 64 * 7;
constexpr double kHeadBytes = 13 + 64 * 259;

double WireSeconds(double bytes) {
  return bytes * kBitsPerByte / kBaud;
}

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "kyr-bench-xfer-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempFolder() { fs::remove_all(path_); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

// kyr-headsim --baud 115200 on a pseudo-terminal, stopped with the object.
class PacedHeadSim {
 public:
  explicit PacedHeadSim(const std::string& link) {
    std::vector<std::string> args = {std::string(KYR_BINARY_DIR) + "/app/kyr-headsim/kyr-headsim",
                                     "--link", link, "--baud", "115200"};
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
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  PacedHeadSim(const PacedHeadSim&) = delete;
  PacedHeadSim& operator=(const PacedHeadSim&) = delete;
  bool running() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
};

void BM_ReadAllSettingsAt115200(benchmark::State& state) {
  TempFolder folder;
  PacedHeadSim sim(folder.File("head"));
  if (!sim.running() || !fs::exists(folder.File("head"))) {
    state.SkipWithError("kyr-headsim did not start");
    return;
  }
  kyr::bench_common::QuietToolHost host;
  kyr::link::Link link(kyr::link::SystemLinkEnvironment());
  kyr::tool::ToolState tool_state;
  kyr::transfer::TransferContext ctx{host, link, tool_state, folder.File("head"), 0};
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const auto result = kyr::transfer::ReadAllSettingsTo(ctx, folder.File("out.kdta"));
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (result != kyr::transfer::Outcome::kDone) {
      state.SkipWithError("the read failed");
      return;
    }
  }
  const double reads = static_cast<double>(state.iterations());
  state.counters["wire_ms"] = 1000.0 * WireSeconds(kToolBytes + kHeadBytes);
  state.counters["read_ms"] = 1000.0 * seconds / reads;
  state.counters["ratio"] = seconds / reads / WireSeconds(kToolBytes + kHeadBytes);
  state.counters["ratio_head"] = seconds / reads / WireSeconds(kHeadBytes);
}
BENCHMARK(BM_ReadAllSettingsAt115200)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The tool's own work per read (framing, checks, formatting, the file) against the
// in-process head unit on simulated time.
void BM_ReadAllSettingsInProcess(benchmark::State& state) {
  TempFolder folder;
  kyr::headsim::SimulatedTime time(kyr::headsim::SimulatedTime::Mode::kManual);
  kyr::headsim::SimulatedUsbHead unit(kyr::headsim::UsbHeadOptions{}, time);
  kyr::bench_common::QuietToolHost host;
  kyr::link::Link link(unit.Environment());
  kyr::tool::ToolState tool_state;
  kyr::transfer::TransferContext ctx{host, link, tool_state, "USB", 0};
  for (auto _ : state) {
    if (kyr::transfer::ReadAllSettingsTo(ctx, folder.File("out.kdta")) !=
        kyr::transfer::Outcome::kDone) {
      state.SkipWithError("the read failed");
      return;
    }
  }
}
BENCHMARK(BM_ReadAllSettingsInProcess)->Unit(benchmark::kMillisecond);

}  // namespace
