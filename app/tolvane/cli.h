#pragma once
// The editor's command-line mode: commands that run without a window, and the parsing of
// the options every mode shares (--lang, --help, --version).
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "strings/text_ids.h"

namespace kyr::tolvane {

// What the window needs from the command line when no command was given.
struct WindowRequest {
  std::string file;           // a settings file to read at start, or empty
  std::string screenshot;     // render the window into this PNG and exit, or empty
  std::optional<int> page;    // page 1..5 to show after start-up
  std::optional<int> bank;    // bank 0..31
  std::optional<int> window;  // window as shown, 1..16
  std::string compare;        // a settings file to compare the open settings with, or empty
};

struct CommandLineOutcome {
  std::optional<int> exit_status;  // set when the command line was handled without a window
  WindowRequest window;
};

// Arguments of one command: its positional arguments and the options given.
struct CommandArgs {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;
  bool Has(const std::string& option) const { return options.count(option) != 0; }
};

// Exit status of commands: 0 done, 1 failed or refused, 2 usage error.
constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// Sets the process language (--lang, else the environment) and runs the command named by
// `args` (the arguments after the program name).
CommandLineOutcome RunCommandLine(const std::vector<std::string>& args);

// Prints editor string `id` on stderr.
void PrintMessage(EditorText id);

// A question the window asks in a box: --yes answers Yes; otherwise a terminal is asked; with
// neither the answer is No.
bool AskQuestion(EditorText id, bool yes_option);

// Commands kept in files of their own.
int RunCsv(const CommandArgs& args);   // cli_csv.cpp
int RunDiff(const CommandArgs& args);  // cli_diff.cpp

}  // namespace kyr::tolvane
