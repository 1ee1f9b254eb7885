// Unpacking one whole monitor frame: eight parts of 16384 pixels into the display canvas.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "images/canvas.h"
#include "monitor/monitor.h"

namespace {

void BM_UnpackMonitorFrame(benchmark::State& state) {
  namespace monitor = kyr::monitor;
  std::vector<std::uint8_t> parts(monitor::kFrameParts * monitor::kPartPixelBytes);
  for (std::size_t i = 0; i < parts.size(); ++i) parts[i] = static_cast<std::uint8_t>(i * 37 + 5);
  auto canvas = std::make_unique<kyr::images::Canvas>();
  for (auto _ : state) {
    for (int part = 0; part < monitor::kFrameParts; ++part) {
      const std::span<const std::uint8_t, monitor::kPartPixelBytes> pixels(
          parts.data() + static_cast<std::size_t>(part) * monitor::kPartPixelBytes,
          monitor::kPartPixelBytes);
      monitor::UnpackMonitorPart(pixels, part, *canvas);
    }
    benchmark::DoNotOptimize(canvas->bytes.data());
  }
}
BENCHMARK(BM_UnpackMonitorFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
