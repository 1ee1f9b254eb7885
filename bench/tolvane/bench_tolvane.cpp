// The editor window on the offscreen platform:
// - a `tolvane --screenshot` process: from spawn to the first painted window, and to exit;
// - the window alone in a running process: model, widgets, start-up and first paint;
// - a page switch with the real widgets: store, show, copy into the widgets, repaint.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli.h"
#include "editor/control_ids.h"
#include "tolvane_app.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using kyr::tolvane::CTolvaneApp;
using kyr::tolvane::CTolvaneDlg;

QApplication& App() {
  static int argc = 1;
  static char name[] = "bench_tolvane";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    kyr::tolvane::RunCommandLine({"--lang", "en"});
    return new QApplication(argc, argv);
  }();
  return *app;
}

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Spawns `tolvane --screenshot` without a display. range(0) 0: time to the moment the
// picture file appears, which the program creates right after the window was painted into
// it (start to first painted window); 1: time to the process's exit (PNG written, Qt torn
// down).
void BM_ProcessStart(benchmark::State& state) {
  const bool to_exit = state.range(0) == 1;
  const std::string out = "/tmp/bench_tolvane_" + std::to_string(::getpid()) + ".png";
  std::vector<std::string> args = {KYR_TOLVANE, "--lang", "en", "--screenshot", out};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  // No display: the program picks the offscreen platform itself.
  ::unsetenv("DISPLAY");
  ::unsetenv("WAYLAND_DISPLAY");
  ::unsetenv("QT_QPA_PLATFORM");
  double child_cpu = 0;  // ms of CPU the program used, user and system
  for (auto _ : state) {
    std::remove(out.c_str());
    const Clock::time_point start = Clock::now();
    pid_t pid = 0;
    if (::posix_spawn(&pid, KYR_TOLVANE, nullptr, nullptr, argv.data(), environ) != 0) {
      state.SkipWithError("cannot start tolvane");
      break;
    }
    int status = 0;
    bool exited = false;
    if (!to_exit) {
      while (::access(out.c_str(), F_OK) != 0) {
        if (::waitpid(pid, &status, WNOHANG) == pid) {
          exited = true;
          break;
        }
        ::usleep(200);
      }
    }
    const double elapsed = Seconds(start);
    rusage usage{};
    if (!exited) ::wait4(pid, &status, 0, &usage);
    child_cpu += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    state.SetIterationTime(to_exit ? Seconds(start) : elapsed);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("tolvane --screenshot failed");
      break;
    }
  }
  state.counters["program_cpu_ms"] =
      benchmark::Counter(child_cpu, benchmark::Counter::kAvgIterations);
  std::remove(out.c_str());
}
BENCHMARK(BM_ProcessStart)
    ->ArgName("to_exit")
    ->DenseRange(0, 1)
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

void BM_WindowStartUpAndFirstPaint(benchmark::State& state) {
  App();
  for (auto _ : state) {
    CTolvaneApp app;
    app.Dialog().StartUp();
    app.Dialog().show();
    app.Dialog().repaint();
    benchmark::DoNotOptimize(app.Dialog().width());
  }
}
BENCHMARK(BM_WindowStartUpAndFirstPaint)->Unit(benchmark::kMillisecond)->Iterations(20);

// Switches to page `state.range(0)` from the page before it; a used CLRSHAPE window, so
// the judgment column is at its fullest.
void BM_PageSwitch(benchmark::State& state) {
  App();
  CTolvaneApp app;
  CTolvaneDlg& dialog = app.Dialog();
  dialog.StartUp();
  dialog.show();
  kyr::editor::Editor& model = app.Model();
  model.ClickPageButton(kyr::editor::kSearchInspectionPage);
  model.SelectComboItem(1082, 1);  // Window Using: USE
  model.SelectComboItem(1085, 0);  // Inspect Functn: CLRSHAPE
  dialog.ApplyModel();

  const int page = static_cast<int>(state.range(0));
  const int before = page == 1 ? 5 : page - 1;
  auto* target = dialog.Control(kyr::editor::kPageButtons[static_cast<std::size_t>(page - 1)]);
  auto* previous = dialog.Control(kyr::editor::kPageButtons[static_cast<std::size_t>(before - 1)]);
  for (auto _ : state) {
    static_cast<QAbstractButton*>(previous)->click();
    const Clock::time_point start = Clock::now();
    static_cast<QAbstractButton*>(target)->click();
    dialog.repaint();
    state.SetIterationTime(Seconds(start));
  }
}
BENCHMARK(BM_PageSwitch)->DenseRange(1, 5)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
