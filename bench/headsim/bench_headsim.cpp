// What the simulated head costs per exchange: a settings block, a 32-block image request and
// a whole monitor frame (eight parts, the screen drawn once), from request bytes to reply
// bytes taken.
#include <benchmark/benchmark.h>

#include <array>
#include <vector>

#include "headsim/engine.h"

namespace kyr::headsim {
namespace {

std::array<std::uint8_t, 7> Frame(std::array<std::uint8_t, 6> six) {
  std::array<std::uint8_t, 7> frame{};
  unsigned sum = 0;
  for (std::size_t i = 0; i < 6; ++i) sum += frame[i] = six[i];
  frame[6] = static_cast<std::uint8_t>(0xFF - (sum & 0xFF));
  return frame;
}

void Exchange(Engine& engine, const std::uint8_t* request, std::size_t n,
              std::vector<std::uint8_t>& sink) {
  engine.Feed(request, n);
  while (engine.Take(sink.data(), sink.size()) > 0) {
  }
}

void BM_SettingsBlock(benchmark::State& state) {
  ManualClock clock;
  Engine engine({}, clock);
  std::vector<std::uint8_t> sink(1 << 16);
  const auto frame = Frame({0x10, 0x00, 0x05, 0x00, 0x80, 0x00});
  for (auto _ : state) Exchange(engine, frame.data(), frame.size(), sink);
  state.SetBytesProcessed(state.iterations() * 259);
}
BENCHMARK(BM_SettingsBlock);

void BM_ImageRequest32Blocks(benchmark::State& state) {
  ManualClock clock;
  Engine engine({}, clock);
  std::vector<std::uint8_t> sink(1 << 16);
  const auto frame = Frame({0x18, 0x00, 0x20, 0x10, 0x80, 31});
  for (auto _ : state) Exchange(engine, frame.data(), frame.size(), sink);
  state.SetBytesProcessed(state.iterations() * 32 * 259);
}
BENCHMARK(BM_ImageRequest32Blocks);

void BM_MonitorFrame(benchmark::State& state) {
  ManualClock clock;
  Engine engine({}, clock);
  std::vector<std::uint8_t> sink(1 << 16);
  for (auto _ : state) {
    for (std::uint8_t part = 0; part < 8; ++part) {
      const std::uint8_t request[6] = {0x55, 0xC8, 0, 0, 0, part};
      Exchange(engine, request, sizeof request, sink);
    }
    clock.AdvanceMillis(100);
  }
  state.SetBytesProcessed(state.iterations() * 8 * 32770);
}
BENCHMARK(BM_MonitorFrame);

}  // namespace
}  // namespace kyr::headsim
