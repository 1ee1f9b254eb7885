// Painting the canvas into the tool window's picture area at the window's opening size
// (the canvas doubled), as each monitor frame does, on the offscreen platform.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <cstdlib>
#include <memory>

#include "images/canvas.h"
#include "window/image_area.h"

namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "bench_monitor";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return new QApplication(argc, argv);
  }();
  return *app;
}

void BM_PaintCanvas(benchmark::State& state) {
  App();
  auto canvas = std::make_unique<kyr::images::Canvas>();
  for (std::size_t i = 0; i < canvas->bytes.size(); ++i) {
    canvas->bytes[i] = static_cast<std::uint8_t>(i * 13 + 1);
  }
  constexpr int kReduction = 78;  // tool bar and bottom margin of the English layout
  QWidget window;
  window.resize(2 * kyr::images::kCanvasWidth, 2 * kyr::images::kCanvasHeight + kReduction);
  auto* area = new kyr::ridgemo::ImageArea(*canvas, &window);
  area->setGeometry(0, kReduction, window.width(), window.height() - kReduction);
  QImage target(area->size(), QImage::Format_RGB32);
  for (auto _ : state) {
    area->render(&target);
    benchmark::DoNotOptimize(target.constBits());
  }
}
BENCHMARK(BM_PaintCanvas)->Unit(benchmark::kMicrosecond);

}  // namespace
