#pragma once
// The head units of a line as the command line chooses them: several serial ports
// (--port P1,P2,...), or --device all (every head unit on USB; with a list of ports, every
// port).
#include <chrono>
#include <cstddef>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "backup/progress.h"
#include "cli.h"
#include "line/runner.h"
#include "line/units.h"
#include "strings/strings.h"

namespace kyr::ridgemo {

// True when the options choose a line of units rather than one: --device all, or a list of
// several ports.
bool ChoosesLine(const GlobalOptions& options);

// Why the port and device options do not make sense together; empty when they do.
std::string CheckLineOptions(const GlobalOptions& options);

// The chosen units in order: the ports of a list, or else every head unit on USB in the
// bus's order (with --simulate the simulated line's units), whatever one port says.
std::vector<line::Unit> LineUnits(const GlobalOptions& options);

// The options of one unit's own link: its port, and on USB its serial number as --device.
GlobalOptions UnitOptions(const GlobalOptions& options, const line::Unit& unit);

// One unit's part of a line's work, as RunOnLine hands it to the command.
struct UnitTurn {
  std::size_t index;
  const line::Unit& unit;
  const std::string& name;  // line::UnitName
  // Its own link: port, device, and with -v and --trace notes and a trace log of its own,
  // each line led by the name.
  const GlobalOptions& options;
  // The user, one message at a time, each text led by the name (the -v notes too).
  tool::ToolHost& host;
  // Where the unit stands: `fraction` (0 to 1) of its way, told as `text`.
  std::function<void(double fraction, const std::string& text)> progress;
  // One of the command's own messages about the unit (its result), as it is.
  std::function<void(ToolText id, const std::string& text, userport::Icon icon)> say;
};
// True when the unit's work is complete; otherwise `problem` may say why.
using LineWork = std::function<bool(UnitTurn& turn, std::string& problem)>;

// Runs `work` on every unit of `units` at once, each on a thread and a link of its own, with
// one progress display on stderr (a line per unit redrawn in place on a terminal; with
// --progress elsewhere a "progress NAME: ..." line at each tenth) and the messages passed
// through one at a time. One unit's failure does not stop the others. The results come in
// unit order and are kept in ctx.units for --json.
std::vector<line::UnitResult> RunOnLine(CommandContext& ctx, const std::vector<line::Unit>& units,
                                        const LineWork& work);

// Where a job stands as one line of text: files, bytes and the time left.
std::string ProgressText(const backup::Progress& progress);

// A job's progress as the progress options want it: on a terminal one line, rewritten at
// most five times a second; with --progress elsewhere a "progress ..." line at each tenth
// of the bytes and each file done; nothing with --quiet, or off a terminal without --progress.
class ProgressLine {
 public:
  ProgressLine(std::ostream& err, ProgressMode mode);
  ~ProgressLine() { End(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  backup::ProgressSink Sink();
  // Ends the line drawn on the terminal, if any.
  void End();

 private:
  void Line(const backup::Progress& p);

  std::ostream& err_;
  bool terminal_;
  bool lines_;
  bool drawn_ = false;
  int last_tenth_ = -1;
  int last_files_ = -1;
  std::chrono::steady_clock::time_point last_{};
};

// A unit's job progress on the line's display.
backup::ProgressSink UnitProgress(const UnitTurn& turn);

// Names the units that failed (kUnitsFailed) when any did; the exit status of the line.
int LineExitStatus(CommandContext& ctx);

}  // namespace kyr::ridgemo
