// tolvane csv IN.kdta [-o OUT.csv] [--yes]: the Generate CSV command without the window.
#include <iostream>

#include "cli.h"
#include "csv/export_csv.h"
#include "strings/strings.h"
#include "strings/text_ids.h"

namespace kyr::tolvane {

int RunCsv(const CommandArgs& args) {
  const std::string& in = args.positional[0];
  const auto out_option = args.options.find("-o");
  const std::string out =
      out_option != args.options.end() ? out_option->second : csv::CsvPathFor(in);
  const bool yes = args.Has("--yes");
  const csv::ExportResult result = csv::ExportCsv(in, out, CurrentLanguage(), [yes] {
    return AskQuestion(EditorText::kOverwriteQuestion, yes);
  });
  if (result == csv::ExportResult::kDone) {
    std::cout << LoadString(EditorText::kCsvComplete) << '\n';
    return kExitDone;
  }
  const EditorText message = csv::MessageFor(result).text;
  if (message != EditorText{}) PrintMessage(message);
  return kExitFailed;
}

}  // namespace kyr::tolvane
