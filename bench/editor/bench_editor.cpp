// Showing a page and storing it, for each of the five pages (a used CLRSHAPE window, so
// that the judgment column is at its fullest).
#include <benchmark/benchmark.h>

#include "editor/editor.h"

namespace {

using namespace kyr::editor;

class SilentHost : public EditorHost {
 public:
  Answer ShowMessage(const Message&) override { return Answer::Ok; }
  std::optional<std::string> AskOpenFile(const std::vector<FileFilter>&,
                                         const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> AskSaveFile(const std::vector<FileFilter>&,
                                         const std::string&) override {
    return std::nullopt;
  }
  void FocusControl(int) override {}
};

struct Session {
  SilentHost host;
  Editor editor{host};
  explicit Session(int page) {
    editor.Start();
    editor.ClickPageButton(kSearchInspectionPage);
    editor.SelectComboItem(kRowControls[RightRow(1)].combo, 1);
    editor.SelectComboItem(kRowControls[RightRow(2)].combo, 0);
    editor.ClickPageButton(page);
  }
};

// Store the shown page, then fill it again: what a click on the page's button costs.
void BM_ShowPage(benchmark::State& state) {
  Session session(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    session.editor.ClickPageButton(static_cast<int>(state.range(0)));
    benchmark::DoNotOptimize(session.editor.Window());
  }
}
BENCHMARK(BM_ShowPage)->DenseRange(1, 5)->Unit(benchmark::kMicrosecond);

void BM_StorePage(benchmark::State& state) {
  Session session(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(session.editor.StorePageValues());
  }
}
BENCHMARK(BM_StorePage)->DenseRange(1, 5)->Unit(benchmark::kMicrosecond);

}  // namespace
