// Cost of Read Image for one bank image from the in-process simulated head unit: the
// presence questions, the 512 blocks, the file put in place and shown on the canvas.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "../common/quiet_tool_host.h"
#include "headsim/usb_head.h"
#include "images/ops/image_ops.h"
#include "link/link.h"

namespace {

namespace images = kyr::images;

void BM_ReadOneBankImage(benchmark::State& state) {
  const auto folder = std::filesystem::temp_directory_path() / "kyr_bench_image_read";
  std::filesystem::create_directories(folder);
  kyr::headsim::SimulatedTime time(kyr::headsim::SimulatedTime::Mode::kManual);
  kyr::headsim::SimulatedUsbHead unit({}, time);
  kyr::link::Link link(unit.Environment());
  kyr::bench_common::QuietToolHost host((folder / "bank.kimg").string());
  auto image_state = std::make_unique<images::ImageState>();
  images::ImageOpsContext ctx{host, link, *image_state, "USB", 0, 0};
  for (auto _ : state) {
    if (images::ReadImages(ctx) != images::Outcome::kDone) state.SkipWithError("read failed");
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ReadOneBankImage)->Unit(benchmark::kMillisecond);

}  // namespace
