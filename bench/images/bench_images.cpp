// Costs of the image conversions: a raw image shown on the canvas, and a 512-wide bitmap
// turned into a raw image.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "images/bitmap.h"
#include "images/canvas.h"
#include "images/raw_image.h"

namespace {

using kyr::images::Canvas;
using kyr::images::RawImage;

void BM_RawImageToCanvas(benchmark::State& state) {
  auto image = std::make_unique<RawImage>();
  auto canvas = std::make_unique<Canvas>();
  for (std::size_t i = 0; i < image->words.size(); ++i) {
    image->words[i] = static_cast<std::uint16_t>(i * 2654435761u >> 7);
  }
  for (auto _ : state) {
    kyr::images::RawImageToCanvas(*image, *canvas);
    benchmark::DoNotOptimize(canvas->bytes.data());
  }
}
BENCHMARK(BM_RawImageToCanvas)->Unit(benchmark::kMicrosecond);

// The whole in-memory part of loading an image file: bytes decoded, then converted.
void BM_ParseAndConvertImageFile(benchmark::State& state) {
  std::vector<std::uint8_t> file(kyr::images::kImageFileBytes);
  for (std::size_t i = 0; i < file.size(); ++i) file[i] = static_cast<std::uint8_t>(i * 31 + 7);
  auto image = std::make_unique<RawImage>();
  auto canvas = std::make_unique<Canvas>();
  for (auto _ : state) {
    static_cast<void>(kyr::images::ParseImageFile(file, *image));
    kyr::images::RawImageToCanvas(*image, *canvas);
    benchmark::DoNotOptimize(canvas->bytes.data());
  }
}
BENCHMARK(BM_ParseAndConvertImageFile)->Unit(benchmark::kMicrosecond);

void BM_BitmapToRawImage512(benchmark::State& state) {
  std::vector<std::uint8_t> file(54 + 512 * 256 * 3);
  for (std::size_t i = 54; i < file.size(); ++i) file[i] = static_cast<std::uint8_t>(i * 131 + 3);
  file[0] = 'B';
  file[1] = 'M';
  file[19] = 2;  // width 512
  file[23] = 1;  // height 256
  file[28] = 24;
  auto image = std::make_unique<RawImage>();
  for (auto _ : state) {
    const auto result = kyr::images::BitmapToRawImage(file, *image);
    benchmark::DoNotOptimize(result);
    benchmark::DoNotOptimize(image->words.data());
  }
}
BENCHMARK(BM_BitmapToRawImage512)->Unit(benchmark::kMicrosecond);

}  // namespace
