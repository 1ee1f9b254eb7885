// Reading and writing a whole settings file (41,984 bytes), in memory and through the disk.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "settings/conversion.h"
#include "settings/initial_values.h"
#include "settings/settings_file.h"

namespace kyr::settings {
namespace {

struct Settings {
  SettingsImage image{};
  CommentTexts comments{};
  Settings() { InitializeSettings(image, comments); }
};

std::string TempPath() {
  return (std::filesystem::temp_directory_path() /
          ("kyr-bench-" + std::to_string(::getpid()) + ".kdta"))
      .string();
}

void BM_FormatText(benchmark::State& state) {
  const Settings settings;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FormatSettingsText(settings.image, settings.comments));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileBytes));
}
BENCHMARK(BM_FormatText);

void BM_ParseText(benchmark::State& state) {
  Settings settings;
  const std::string text = FormatSettingsText(settings.image, settings.comments);
  for (auto _ : state) {
    benchmark::DoNotOptimize(ParseSettingsText(text, settings.image));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileBytes));
}
BENCHMARK(BM_ParseText);

// A save as the editor does it: format, write a temporary file, flush it to disk, rename.
void BM_WriteFile(benchmark::State& state) {
  const Settings settings;
  const std::string path = TempPath();
  for (auto _ : state) {
    if (WriteSettingsFile(path, settings.image, settings.comments) !=
        settings::WriteResult::kWritten) {
      state.SkipWithError("write failed");
      break;
    }
  }
  std::filesystem::remove(path);
}
BENCHMARK(BM_WriteFile)->Unit(benchmark::kMicrosecond);

// A read as the editor does it: open, read, parse into the image, rebuild the comments.
void BM_ReadFile(benchmark::State& state) {
  Settings settings;
  const std::string path = TempPath();
  if (WriteSettingsFile(path, settings.image, settings.comments) !=
      settings::WriteResult::kWritten) {
    state.SkipWithError("write failed");
    return;
  }
  for (auto _ : state) {
    if (ReadSettingsFile(path, settings.image) != ReadResult::kComplete) {
      state.SkipWithError("read failed");
      break;
    }
    settings.comments = CommentsOf(settings.image);
  }
  std::filesystem::remove(path);
}
BENCHMARK(BM_ReadFile)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kyr::settings
