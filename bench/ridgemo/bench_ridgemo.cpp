// The monitor's costs: unpacking a frame into the canvas, painting the canvas stretched over
// the picture area, and the frame pacing of the window with a simulated head unit.
#include <benchmark/benchmark.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <numeric>
#include <vector>

#include "headsim/usb_head.h"
#include "link/system_environment.h"
#include "monitor/monitor.h"
#include "window/ridgemo_dlg.h"

namespace {

using kyr::images::Canvas;

QApplication& Application() {
  static int argc = 1;
  static char name[] = "bench_ridgemo";
  static char* argv[] = {name, nullptr};
  static QApplication* application = [] {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return new QApplication(argc, argv);
  }();
  return *application;
}

// One frame: eight parts of a varied picture.
void BM_UnpackMonitorFrame(benchmark::State& state) {
  std::vector<std::uint8_t> parts(kyr::monitor::kFrameParts * kyr::monitor::kPartPixelBytes);
  for (std::size_t i = 0; i < parts.size(); ++i)
    parts[i] = static_cast<std::uint8_t>(i * 37 + i / 1024);
  auto canvas = std::make_unique<Canvas>();
  for (auto _ : state) {
    for (int part = 0; part < kyr::monitor::kFrameParts; ++part) {
      kyr::monitor::UnpackMonitorPart(
          std::span<const std::uint8_t, kyr::monitor::kPartPixelBytes>(
              parts.data() + part * kyr::monitor::kPartPixelBytes, kyr::monitor::kPartPixelBytes),
          part, *canvas);
    }
    benchmark::DoNotOptimize(canvas->bytes.data());
  }
}
BENCHMARK(BM_UnpackMonitorFrame)->Unit(benchmark::kMicrosecond);

// The picture area's paint: the 480 x 272 canvas stretched, without smoothing, to 960 x 544.
void BM_PaintCanvas960x544(benchmark::State& state) {
  Application();
  auto canvas = std::make_unique<Canvas>();
  for (std::size_t i = 0; i < kyr::images::kCanvasBytes; ++i) {
    canvas->bytes[i] = static_cast<std::uint8_t>(i * 7);
  }
  const QImage source(canvas->bytes.data(), kyr::images::kCanvasWidth, kyr::images::kCanvasHeight,
                      static_cast<qsizetype>(kyr::images::kCanvasRowBytes), QImage::Format_RGB32);
  QImage target(960, 544, QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    QPainter painter(&target);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QRect(0, 0, 960, 544), source);
    painter.end();
    benchmark::DoNotOptimize(target.constBits());
  }
}
BENCHMARK(BM_PaintCanvas960x544)->Unit(benchmark::kMicrosecond);

// The whole picture area widget painted (the window at 960 x 622), as a repaint does it.
void BM_RepaintPictureArea(benchmark::State& state) {
  Application();
  kyr::headsim::SimulatedTime time(kyr::headsim::SimulatedTime::Mode::kReal);
  kyr::headsim::SimulatedUsbHead unit({}, time);
  kyr::ridgemo::CRidgemoDlg window(unit.Environment(), "/nonexistent/selections.txt");
  window.resize(960, 622);
  window.show();
  QCoreApplication::processEvents();
  QWidget* picture = window.findChild<QWidget*>(QString::number(kyr::ridgemo::kIdPicture));
  for (auto _ : state) {
    picture->repaint();
  }
}
BENCHMARK(BM_RepaintPictureArea)->Unit(benchmark::kMicrosecond);

double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Time stamps of the picture area's paints: one per monitor frame.
class PaintClock : public QObject {
 public:
  explicit PaintClock(QElapsedTimer& clock) : clock_(clock) {}
  std::vector<qint64> paints_ns;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) paints_ns.push_back(clock_.nsecsElapsed());
    return QObject::eventFilter(watched, event);
  }

 private:
  QElapsedTimer& clock_;
};

// The monitor in the window with a simulated head on real time, for three seconds of the
// plain event loop: the frame period (fetch plus the timer's 100 ms) from the picture's
// paints, and the processor time the whole process used meanwhile.
void BM_MonitorPacing(benchmark::State& state) {
  Application();
  kyr::headsim::SimulatedTime time(kyr::headsim::SimulatedTime::Mode::kReal);
  kyr::headsim::SimulatedUsbHead unit({}, time);
  kyr::ridgemo::CRidgemoDlg window(unit.Environment(), "/nonexistent/selections.txt");
  window.resize(960, 622);
  window.show();
  QCoreApplication::processEvents();
  QWidget* picture = window.findChild<QWidget*>(QString::number(kyr::ridgemo::kIdPicture));
  QElapsedTimer clock;
  PaintClock paints(clock);
  picture->installEventFilter(&paints);
  double cpu = 0;
  double wall = 0;
  for (auto _ : state) {
    window.OnImageMonitor();
    clock.start();
    const double cpu_start = CpuSeconds();
    QEventLoop loop;
    QTimer::singleShot(3000, &loop, &QEventLoop::quit);
    loop.exec();
    cpu = CpuSeconds() - cpu_start;
    wall = static_cast<double>(clock.nsecsElapsed()) * 1e-9;
    window.OnStop();
    QEventLoop drain;
    QTimer::singleShot(300, &drain, &QEventLoop::quit);
    drain.exec();
  }
  std::vector<double> periods;
  for (std::size_t i = 1; i < paints.paints_ns.size(); ++i) {
    periods.push_back(static_cast<double>(paints.paints_ns[i] - paints.paints_ns[i - 1]) * 1e-6);
  }
  const double mean = std::accumulate(periods.begin(), periods.end(), 0.0) /
                      static_cast<double>(std::max<std::size_t>(1, periods.size()));
  const auto [low, high] = std::minmax_element(periods.begin(), periods.end());
  state.counters["frames"] = static_cast<double>(paints.paints_ns.size());
  state.counters["period_mean_ms"] = mean;
  state.counters["period_min_ms"] = periods.empty() ? 0 : *low;
  state.counters["period_max_ms"] = periods.empty() ? 0 : *high;
  state.counters["cpu_percent"] = 100.0 * cpu / wall;
}
BENCHMARK(BM_MonitorPacing)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
