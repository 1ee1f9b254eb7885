// Cost of Read Image for one bank image from the in-process simulated head unit: the
// presence questions, the 512 blocks, the file put in place and shown on the canvas.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "headsim/usb_head.h"
#include "images/ops/image_ops.h"
#include "link/link.h"

namespace {

namespace images = kyr::images;

// Chooses bank image 0 and a fixed file name, answers Yes, shows nothing.
class QuietHost : public kyr::tool::ToolHost {
 public:
  explicit QuietHost(std::string path) : path_(std::move(path)) {}
  kyr::tool::Answer ShowMessage(const kyr::tool::Message& message) override {
    return message.buttons == kyr::tool::Buttons::YesNo ? kyr::tool::Answer::Yes
                                                        : kyr::tool::Answer::Ok;
  }
  std::optional<std::string> AskSaveFile(const std::vector<kyr::tool::FileFilter>&,
                                         const std::string&) override {
    return path_;
  }
  std::optional<std::string> AskOpenFile(const std::vector<kyr::tool::FileFilter>&,
                                         const std::string&) override {
    return std::nullopt;
  }
  std::vector<std::string> AskOpenFiles(const std::vector<kyr::tool::FileFilter>&) override {
    return {};
  }
  void SetProgressRange(int, int) override {}
  void SetProgressPosition(int) override {}
  void ProcessPendingEvents(int) override {}
  bool AskImageSelection(const kyr::tool::ImageSelectionDialog&, std::uint64_t& mask) override {
    mask = 1;
    return true;
  }

 private:
  std::string path_;
};

void BM_ReadOneBankImage(benchmark::State& state) {
  const auto folder = std::filesystem::temp_directory_path() / "kyr_bench_image_read";
  std::filesystem::create_directories(folder);
  kyr::headsim::SimulatedTime time(kyr::headsim::SimulatedTime::Mode::kManual);
  kyr::headsim::SimulatedUsbHead unit({}, time);
  kyr::link::Link link(unit.Environment());
  QuietHost host((folder / "bank.kimg").string());
  auto image_state = std::make_unique<images::ImageState>();
  images::ImageOpsContext ctx{host, link, *image_state, "USB", 0, 0};
  for (auto _ : state) {
    if (images::ReadImages(ctx) != images::kImagesDone) state.SkipWithError("read failed");
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ReadOneBankImage)->Unit(benchmark::kMillisecond);

}  // namespace
