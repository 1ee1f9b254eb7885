// Cost of the CSV listing of a full file: all 32 banks registered and all 512 windows in
// use, the windows spread over the eight inspection functions. Listed from memory, and as
// the command does it: read the settings file, list, write the CSV file.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "csv/export_csv.h"
#include "csv/listing.h"
#include "settings/conversion.h"
#include "settings/initial_values.h"
#include "settings/settings_file.h"

namespace {

using kyr::settings::SettingsImage;

SettingsImage FullImage() {
  SettingsImage image{};
  kyr::settings::CommentTexts comments{};
  kyr::settings::InitializeSettings(image, comments);
  for (int bank = 0; bank < kyr::settings::kBankCount; ++bank) {
    image[static_cast<std::size_t>(kyr::settings::BankWord(bank, 5))] &= 0x7FFF;
    image[static_cast<std::size_t>(kyr::settings::BankWord(bank, 18))] = 0x4241;
    for (int window = 0; window < kyr::settings::kWindowCount; ++window) {
      auto& word2 = image[static_cast<std::size_t>(kyr::settings::WindowWord(bank, window, 2))];
      word2 = static_cast<std::uint16_t>((word2 & ~0x70u) | 1u | (window % 8u) << 4);
    }
  }
  return image;
}

void BM_FormatListingOfFullFile(benchmark::State& state) {
  const SettingsImage image = FullImage();
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string listing = kyr::csv::FormatCsvListing(image, kyr::Lang::En);
    bytes = listing.size();
    benchmark::DoNotOptimize(listing.data());
  }
  state.counters["listing_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_FormatListingOfFullFile)->Unit(benchmark::kMicrosecond);

void BM_ExportFullFile(benchmark::State& state) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("kyr-bench-csv-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::string settings_path = (folder / "full.kdta").string();
  const std::string csv_path = (folder / "full.csv").string();
  kyr::settings::CommentTexts comments{};
  const SettingsImage image = FullImage();
  comments = kyr::settings::CommentsOf(image);
  if (kyr::settings::WriteSettingsFile(settings_path, image, comments) !=
      kyr::settings::WriteResult::kWritten) {
    state.SkipWithError("cannot write the settings file");
  }
  for (auto _ : state) {
    const auto result =
        kyr::csv::ExportCsv(settings_path, csv_path, kyr::Lang::En, [] { return true; });
    if (result != kyr::csv::ExportResult::kDone) state.SkipWithError("export failed");
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ExportFullFile)->Unit(benchmark::kMicrosecond);

}  // namespace
