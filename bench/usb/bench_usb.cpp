// Read All Settings over USB.
//
// BM_ReadAllSettingsEmulatedChip: through libftdi1 and libusb to an FTDI chip emulated with
// umockdev; cpu_per_block_us is the tool thread's CPU time per settings block (the emulated
// chip answers on a thread of its own, which is not counted).
// BM_ReadAllSettingsUsbTiming/LATENCY/REAL: against the in-process unit with the USB timing
// model (1 ms frames, 62 data bytes a packet) and the chip's latency timer at LATENCY ms;
// REAL 0 on simulated time (sim_ms is the simulated duration of one read), REAL 1 on real
// time as --simulate runs (its real time should come close to sim_ms).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <string>

#include "../common/quiet_tool_host.h"
#include "headsim/usb_head.h"
#include "link/link.h"
#include "link/sysfs/sysfs_devices.h"
#include "link/usb/ftdi_bus.h"
#include "tool/tool_state.h"
#include "transfer/transfer.h"
#include "usb/emu/ftdi_emulator.h"

namespace {

namespace fs = std::filesystem;
constexpr int kBlocks = 64;

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

std::string TempFile(const char* name) {
  return (fs::temp_directory_path() / (std::string(name) + std::to_string(::getpid()))).string();
}

void BM_ReadAllSettingsEmulatedChip(benchmark::State& state) {
  kyr::usb_emu::EmulatedBus bus;
  bus.Add();
  kyr::link::SysfsDevices devices;
  kyr::link::SystemClock clock;
  double cpu = 0;
  {
    kyr::link::FtdiBus ftdi;
    kyr::link::LinkEnvironment environment;
    environment.usb_bus = &ftdi;
    environment.devices = &devices;
    environment.clock = &clock;
    kyr::link::Link link(environment);
    kyr::bench_common::QuietToolHost host;
    kyr::tool::ToolState tool_state;
    kyr::transfer::TransferContext ctx{host, link, tool_state, "USB", 0};
    const std::string out = TempFile("kyr-bench-usb-");
    for (auto _ : state) {
      const double start = ThreadCpuSeconds();
      const auto result = kyr::transfer::ReadAllSettingsTo(ctx, out);
      cpu += ThreadCpuSeconds() - start;
      if (result != kyr::transfer::Outcome::kDone) {
        state.SkipWithError("the read failed");
        break;
      }
    }
    fs::remove(out);
  }
  state.counters["cpu_per_block_us"] =
      1e6 * cpu / static_cast<double>(state.iterations()) / kBlocks;
}
BENCHMARK(BM_ReadAllSettingsEmulatedChip)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ReadAllSettingsUsbTiming(benchmark::State& state) {
  kyr::headsim::SimulatedTime time(state.range(1) != 0
                                       ? kyr::headsim::SimulatedTime::Mode::kReal
                                       : kyr::headsim::SimulatedTime::Mode::kManual);
  kyr::headsim::UsbHeadOptions options;
  options.timing = kyr::headsim::UsbTiming{static_cast<int>(state.range(0)), 0};
  kyr::headsim::SimulatedUsbHead unit(options, time);
  kyr::link::Link link(unit.Environment());
  kyr::bench_common::QuietToolHost host;
  kyr::tool::ToolState tool_state;
  kyr::transfer::TransferContext ctx{host, link, tool_state, "USB", 0};
  const std::string out = TempFile("kyr-bench-usbtiming-");
  double simulated_ms = 0;
  for (auto _ : state) {
    const std::int64_t start = time.NowMicros();
    if (kyr::transfer::ReadAllSettingsTo(ctx, out) != kyr::transfer::Outcome::kDone) {
      state.SkipWithError("the read failed");
      break;
    }
    simulated_ms += static_cast<double>(time.NowMicros() - start) / 1000.0;
  }
  fs::remove(out);
  state.counters["sim_ms"] = simulated_ms / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ReadAllSettingsUsbTiming)->Args({2, 0})->Args({16, 0})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAllSettingsUsbTiming)
    ->Args({2, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

}  // namespace
