#pragma once
// The command-line mode of ridgemo: global options and one command from a table, parsed by
// CLI11.
//
// Each command is a function in its own file (cli_<topic>.cpp) and one row of the table in
// cli.cpp, which names its options and operands. Global options (--port, --head, --simulate,
// --lang, --trace, --yes, -q, -v, --progress, --help, --version) may stand before or after the
// command; the command's function receives its own options as "--name VALUE" and flags, then its
// operands.
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console_host.h"
#include "link/platform.h"
#include "link/trace_file.h"
#include "tool/tool_host.h"

namespace kyr::ridgemo {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;  // the operation failed or was refused
inline constexpr int kExitUsage = 2;

struct WindowOptions;

struct GlobalOptions {
  std::string port = "USB";
  int head = 1;  // 1 to 3 as the Target Head box shows it
  bool head_given = false;
  bool all_heads = false;  // --head all (backup only)
  bool simulate = false;
  int simulated_units = 1;  // --simulate=N or --simulate --units N
  bool yes = false;         // answer Yes to every question
  std::string device;       // --device SERIAL: the head unit to use; empty: the first
  bool json = false;        // --json: one JSON document on stdout instead of the text
  bool quiet = false;       // -q: no progress
  bool verbose = false;     // -v: the link's notes on stderr, one line each
  bool progress = false;    // --progress: progress also when stderr is not a terminal
  // Where -v sends the link's notes (set once the console host exists); empty without -v.
  std::function<void(std::string_view)> notes;
  // --trace FILE (or KYR_TRACE): every link the command opens writes its frames here.
  std::shared_ptr<link::TraceFile> trace;
  // One unit's own log in that file, while the units of a line work at once.
  std::shared_ptr<link::TraceLog> unit_trace;
};

// A unit of a line as a command's --json summary lists it.
struct UnitOutcome {
  std::string name;  // line::UnitName
  std::string port;
  std::string serial;  // on USB
  bool done = false;
  std::string problem;
};

struct CommandContext {
  std::vector<std::string> args;  // after the command name, global options removed
  GlobalOptions options;
  tool::ToolHost& host;
  std::ostream& out;
  std::ostream& err;
  ConsoleHost* console = nullptr;    // the terminal host, for the link's failure notes
  std::vector<UnitOutcome> units{};  // a command on a line: how each unit ended
};

using CommandFunction = int (*)(CommandContext&);

struct Command {
  std::string_view name;
  std::string_view usage;  // arguments after the name, for --help
  CommandFunction run;
  std::string_view detail = {};  // a further line for --help, if the options need one
};

// Removes `flag` from `args`; true when it was there.
bool TakeFlag(std::vector<std::string>& args, std::string_view flag);

// Removes `name VALUE` from `args` and returns VALUE; `missing` is set when the name is
// the last argument.
std::optional<std::string> TakeOption(std::vector<std::string>& args, std::string_view name,
                                      bool& missing);

// True for an option name ("--x") standing where a file name is expected.
bool LooksLikeOption(const std::string& arg);

// The whole of `text` as a decimal number not below 0; nullopt when it is not one.
std::optional<int> ParseNumber(std::string_view text);

// Prints "usage: ridgemo NAME USAGE" for `command` to ctx.err and returns kExitUsage.
int UsageError(const CommandContext& ctx, std::string_view command);

// How the command's progress is shown (-q, --progress, or on a terminal only).
ProgressMode ProgressModeOf(const GlobalOptions& options);

// The platform a command's link opens on: the real one, or with --simulate the built-in
// simulated line in place of USB devices (serial ports stay real).
link::LinkEnvironment LinkEnvironmentFor(const GlobalOptions& options);

// Runs the command line; false in `handled` when there is no command, so that the caller
// opens the window as `window` says.
int RunCommandLine(const std::vector<std::string>& arguments, bool& handled, WindowOptions& window);

// --images bank,memory|none as (bank, memory); nullopt when the list is not one.
std::optional<std::pair<bool, bool>> ParseImageKinds(const std::string& text);

// Commands (one file each).
int RunToBmp(CommandContext& ctx);
int RunReadSettings(CommandContext& ctx);
int RunWriteSettings(CommandContext& ctx);
int RunReadImages(CommandContext& ctx);
int RunWriteImages(CommandContext& ctx);
int RunMonitor(CommandContext& ctx);
int RunBackup(CommandContext& ctx);   // cli_backup.cpp
int RunRestore(CommandContext& ctx);  // cli_backup.cpp
int RunCompare(CommandContext& ctx);  // cli_backup.cpp
int RunDevices(CommandContext& ctx);
int RunAudit(CommandContext& ctx);  // cli_audit.cpp

}  // namespace kyr::ridgemo
