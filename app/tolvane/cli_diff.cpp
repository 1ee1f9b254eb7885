// tolvane diff A.kdta B.kdta [--json]: the two settings files compared setting by setting.
#include <iostream>

#include "cli.h"
#include "compare/compare.h"
#include "compare/compare_json.h"
#include "settings/settings_file.h"
#include "strings/strings.h"
#include "strings/text_ids.h"

namespace kyr::tolvane {
namespace {

// Exit status of diff: 0 equal, 1 different, 2 a file could not be read.
constexpr int kDiffEqual = 0;
constexpr int kDiffDifferent = 1;
constexpr int kDiffTrouble = 2;

bool ReadForDiff(const std::string& path, settings::SettingsImage& image) {
  const settings::ReadResult result = settings::ReadSettingsFile(path, image);
  if (result == settings::ReadResult::kComplete) return true;
  std::cerr << path << ": "
            << LoadString(result == settings::ReadResult::kShortFile
                              ? EditorText::kIllegalContents
                              : EditorText::kFailToOpenSettings)
            << '\n';
  return false;
}

}  // namespace

int RunDiff(const CommandArgs& args) {
  static settings::SettingsImage a{};
  static settings::SettingsImage b{};
  const std::string& path_a = args.positional[0];
  const std::string& path_b = args.positional[1];
  if (!ReadForDiff(path_a, a) || !ReadForDiff(path_b, b)) return kDiffTrouble;
  if (args.Has("--json")) {
    const compare::Comparison english = compare::CompareSettings(a, b, Lang::En);
    std::cout << compare::ComparisonJson(english, {"a", path_a}, {"b", path_b}).dump(2) << '\n';
    return english.Equal() ? kDiffEqual : kDiffDifferent;
  }
  const compare::Comparison comparison = compare::CompareSettings(a, b, CurrentLanguage());
  std::cout << compare::FormatReport(comparison, path_a, path_b, CurrentLanguage());
  return comparison.Equal() ? kDiffEqual : kDiffDifferent;
}

}  // namespace kyr::tolvane
