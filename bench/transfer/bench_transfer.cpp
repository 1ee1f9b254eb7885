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
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "../common/quiet_tool_host.h"
#include "headsim/usb_head.h"
#include "images/ops/image_ops.h"
#include "link/link.h"
#include "link/posix/serial_port.h"
#include "link/system_environment.h"
#include "settings/settings_file.h"
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

// Counts the bytes the tool writes to its serial ports and reads back, and the exchanges
// (every turn from writing to reading).
class CountingChannel final : public kyr::link::ByteChannel {
 public:
  CountingChannel(std::unique_ptr<kyr::link::ByteChannel> inner, std::size_t& written)
      : inner_(std::move(inner)), written_(written) {}
  bool Write(const std::uint8_t* data, std::size_t count, std::size_t& written) override {
    const bool ok = inner_->Write(data, count, written);
    written_ += written;
    writing_ = true;
    return ok;
  }
  bool Read(std::uint8_t* data, std::size_t count, std::size_t& got) override {
    if (std::exchange(writing_, false)) ++exchanges_;
    const bool ok = inner_->Read(data, count, got);
    read_ += got;
    return ok;
  }
  std::size_t Drain(std::uint32_t quiet_ms, std::uint32_t limit_ms) override {
    return inner_->Drain(quiet_ms, limit_ms);
  }
  void Close() override { inner_->Close(); }
  void SetWaitCheck(std::function<bool()> check) override {
    inner_->SetWaitCheck(std::move(check));
  }
  static inline std::size_t read_ = 0;
  static inline std::size_t exchanges_ = 0;

 private:
  bool writing_ = false;
  std::unique_ptr<kyr::link::ByteChannel> inner_;
  std::size_t& written_;
};

class CountingPorts final : public kyr::link::SerialPorts {
 public:
  std::unique_ptr<kyr::link::ByteChannel> Open(const std::string& path) override {
    auto channel = inner_.Open(path);
    if (!channel) return nullptr;
    return std::make_unique<CountingChannel>(std::move(channel), written);
  }
  std::size_t written = 0;

 private:
  kyr::link::PosixSerialPorts inner_;
};

// Runs `write` (one write into the head on `port`) against kyr-headsim --baud 115200 and
// reports the time over the wire time of the bytes the tool sent ("ratio_tool") and of all
// bytes on the line, the head's acknowledges included ("ratio"), and the time beyond the
// wire per request and reply ("beyond_wire_us_per_exchange").
template <typename Prepare, typename Write>
void TimeWriteOverPacedLine(benchmark::State& state, Prepare&& prepare, Write&& write) {
  TempFolder folder;
  PacedHeadSim sim(folder.File("head"));
  if (!sim.running() || !fs::exists(folder.File("head"))) {
    state.SkipWithError("kyr-headsim did not start");
    return;
  }
  CountingPorts ports;
  kyr::link::LinkEnvironment environment = kyr::link::SystemLinkEnvironment();
  environment.serial_ports = &ports;
  kyr::link::Link link(environment);
  prepare(folder);  // the file to write is made before the clock starts
  double seconds = 0;
  CountingChannel::read_ = 0;
  CountingChannel::exchanges_ = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const bool done = write(link, folder);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!done) {
      state.SkipWithError("the write failed");
      return;
    }
  }
  const double runs = static_cast<double>(state.iterations());
  const double tool_bytes = static_cast<double>(ports.written) / runs;
  const double head_bytes = static_cast<double>(CountingChannel::read_) / runs;
  state.counters["tool_bytes"] = tool_bytes;
  state.counters["write_ms"] = 1000.0 * seconds / runs;
  state.counters["ratio_tool"] = seconds / runs / WireSeconds(tool_bytes);
  state.counters["ratio"] = seconds / runs / WireSeconds(tool_bytes + head_bytes);
  // Where the time beyond the wire goes: spread over the exchanges, it is what the tool, the
  // pseudo-terminal and the simulator's wake-ups add to each request and its reply.
  const double exchanges = static_cast<double>(CountingChannel::exchanges_) / runs;
  state.counters["exchanges"] = exchanges;
  state.counters["beyond_wire_us_per_exchange"] =
      1e6 * (seconds / runs - WireSeconds(tool_bytes + head_bytes)) / exchanges;
}

void BM_WriteSettingsAt115200(benchmark::State& state) {
  TimeWriteOverPacedLine(
      state,
      [](TempFolder& folder) {
        kyr::settings::SettingsImage image{};
        for (std::size_t k = 0; k < image.size(); ++k) image[k] = static_cast<std::uint16_t>(k * 7);
        image[kyr::settings::CommonWord(0)] = 0x0301;
        std::ofstream(folder.File("in.kdta"), std::ios::binary)
            << kyr::settings::FormatSettingsText(image);
      },
      [](kyr::link::Link& link, TempFolder& folder) {
        kyr::bench_common::QuietToolHost host;
        kyr::tool::ToolState tool_state;
        kyr::transfer::TransferContext ctx{host, link, tool_state, folder.File("head"), 0};
        return kyr::transfer::WriteSettingsFrom(ctx, folder.File("in.kdta"),
                                                kyr::tool::WriteChoices{}) ==
               kyr::transfer::Outcome::kDone;
      });
}
BENCHMARK(BM_WriteSettingsAt115200)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

void BM_WriteBankImageAt115200(benchmark::State& state) {
  // The tool's image state lives as long as the tool.
  auto image_state = std::make_unique<kyr::images::ImageState>();
  TimeWriteOverPacedLine(
      state,
      [](TempFolder& folder) {
        std::string bytes(2 * 65536, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 13);
        std::ofstream(folder.File("bank.03.kimg"), std::ios::binary) << bytes;
      },
      [&image_state](kyr::link::Link& link, TempFolder& folder) {
        kyr::bench_common::QuietToolHost host(folder.File("bank.03.kimg"));
        kyr::images::ImageOpsContext ctx{host, link, *image_state, folder.File("head"), 0, 0};
        return kyr::images::WriteImages(ctx) == kyr::images::Outcome::kDone;
      });
}
BENCHMARK(BM_WriteBankImageAt115200)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

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
