// Cost of Write Image for one bank image into the in-process simulated head unit: the file
// read, 512 blocks with their acknowledges, and the polls until the head is idle. Simulated
// time stands still unless the tool waits, so the figure is the tool's and the head's CPU.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "../common/quiet_tool_host.h"
#include "headsim/usb_head.h"
#include "images/ops/image_ops.h"
#include "link/link.h"

namespace {

namespace images = kyr::images;
namespace tool = kyr::tool;

void BM_WriteOneBankImage(benchmark::State& state) {
  const auto folder = std::filesystem::temp_directory_path() / "kyr_bench_image_write";
  std::filesystem::create_directories(folder);
  const std::string path = (folder / "bank.05.kimg").string();
  {
    std::vector<char> bytes(images::kImageFileBytes);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + 3);
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  kyr::headsim::SimulatedTime time(kyr::headsim::SimulatedTime::Mode::kManual);
  kyr::headsim::SimulatedUsbHead unit({}, time);
  kyr::link::Link link(unit.Environment());
  kyr::bench_common::QuietToolHost host(path);
  auto image_state = std::make_unique<images::ImageState>();
  images::ImageOpsContext ctx{host, link, *image_state, "USB", 0, 0};
  for (auto _ : state) {
    if (images::WriteImages(ctx) != images::Outcome::kDone) state.SkipWithError("write failed");
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_WriteOneBankImage)->Unit(benchmark::kMillisecond);

}  // namespace
