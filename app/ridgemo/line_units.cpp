#include "line_units.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>

#include "backup/record.h"
#include "line/progress_board.h"
#include "line/unit_host.h"
#include "link/discovery.h"
#include "strings/strings.h"

namespace kyr::ridgemo {
namespace {

constexpr std::string_view kEveryUnit = "all";

// The serial numbers of the head units on the USB bus, each once.
std::vector<line::Unit> UsbUnits(const GlobalOptions& options) {
  GlobalOptions any = options;
  any.device.clear();
  const link::LinkEnvironment environment = LinkEnvironmentFor(any);
  std::vector<link::UsbDeviceInfo> list;
  std::vector<line::Unit> units;
  if (environment.usb_bus == nullptr || !environment.usb_bus->ListDevices(list)) return units;
  for (const link::UsbDeviceInfo& info : list) {
    const bool seen = std::any_of(units.begin(), units.end(), [&](const line::Unit& unit) {
      return unit.serial == info.serial;
    });
    if (info.serial.starts_with(link::kKyrSerialPrefix) && !seen)
      units.push_back({"USB", info.serial});
  }
  return units;
}

// The display as the command's progress options want it on stderr.
line::BoardMode BoardModeOf(const CommandContext& ctx) {
  const ProgressMode mode = ProgressModeOf(ctx.options);
  const bool terminal = &ctx.err == &std::cerr && ::isatty(STDERR_FILENO) != 0;
  if (mode == ProgressMode::kOff) return line::BoardMode::kOff;
  if (terminal) return line::BoardMode::kInPlace;
  return mode == ProgressMode::kAlways ? line::BoardMode::kLines : line::BoardMode::kOff;
}

std::string TimeText(double seconds) {
  if (seconds < 0) return "?";
  const long whole = static_cast<long>(seconds + 0.5);
  char text[48];
  std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  return text;
}

int TerminalColumns() {
  winsize size{};
  return ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

}  // namespace

bool ChoosesLine(const GlobalOptions& options) {
  return options.device == kEveryUnit || line::IsPortList(options.port);
}

std::string CheckLineOptions(const GlobalOptions& options) {
  if (!line::IsPortList(options.port)) return {};
  if (!options.device.empty() && options.device != kEveryUnit)
    return "--device " + options.device + " picks a USB unit; a list of ports is every port";
  std::string problem;
  static_cast<void>(line::SerialUnits(options.port, problem));
  return problem;
}

std::vector<line::Unit> LineUnits(const GlobalOptions& options) {
  if (!line::IsPortList(options.port)) return UsbUnits(options);
  std::string problem;  // checked when the options were read
  return line::SerialUnits(options.port, problem);
}

GlobalOptions UnitOptions(const GlobalOptions& options, const line::Unit& unit) {
  GlobalOptions own = options;
  own.port = unit.port;
  own.device = unit.serial;
  return own;
}

std::vector<line::UnitResult> RunOnLine(CommandContext& ctx, const std::vector<line::Unit>& units,
                                        const LineWork& work) {
  std::vector<std::string> names;
  for (const line::Unit& unit : units) names.push_back(line::UnitName(unit));
  line::ProgressBoard board(ctx.err, names, BoardModeOf(ctx), TerminalColumns());
  std::vector<line::UnitResult> results = line::RunOnUnits(units.size(), [&](std::size_t i,
                                                                             std::string& problem) {
    line::UnitHost host(ctx.host, board, names[i]);
    GlobalOptions options = UnitOptions(ctx.options, units[i]);
    if (ctx.options.trace) options.unit_trace = ctx.options.trace->UnitLog(names[i]);
    if (ctx.options.notes) {
      options.notes = [&board, &ctx, &name = names[i]](std::string_view note) {
        board.Pass([&] { ctx.options.notes(name + ": " + std::string(note)); });
      };
    }
    UnitTurn turn{
        i,
        units[i],
        names[i],
        options,
        host,
        [&board, i](double fraction, const std::string& text) { board.Update(i, fraction, text); },
        [&board, &ctx](ToolText id, const std::string& text, userport::Icon icon) {
          board.Pass([&] { ctx.host.ShowMessage({TextNumber(id), text, "", icon}); });
        }};
    const bool done = work(turn, problem);
    board.Finish(i, std::string(LoadString(done ? ToolText::kUnitDone : ToolText::kUnitFailed)));
    return done;
  });
  ctx.units.clear();
  for (std::size_t i = 0; i < units.size(); ++i) {
    ctx.units.push_back(
        {names[i], units[i].port, units[i].serial, results[i].done, results[i].problem});
  }
  return results;
}

std::string ProgressText(const backup::Progress& p) {
  return FormatMessage(
      LoadString(ToolText::kProgress),
      {std::to_string(p.files_done), std::to_string(p.files_total), backup::SizeText(p.bytes_done),
       backup::SizeText(p.bytes_total), TimeText(p.seconds_left)});
}

backup::ProgressSink UnitProgress(const UnitTurn& turn) {
  return [progress = turn.progress](const backup::Progress& p) {
    const double fraction =
        p.bytes_total == 0 ? 0.0
                           : static_cast<double>(p.bytes_done) / static_cast<double>(p.bytes_total);
    progress(fraction, ProgressText(p));
  };
}

int LineExitStatus(CommandContext& ctx) {
  std::string failed;
  for (const UnitOutcome& unit : ctx.units) {
    if (!unit.done) failed += (failed.empty() ? "" : ", ") + unit.name;
  }
  if (failed.empty()) return kExitDone;
  ctx.host.ShowMessage({TextNumber(ToolText::kUnitsFailed),
                        FormatMessage(LoadString(ToolText::kUnitsFailed), {failed}), "",
                        userport::Icon::Error});
  return kExitFailed;
}

ProgressLine::ProgressLine(std::ostream& err, ProgressMode mode)
    : err_(err),
      terminal_(mode != ProgressMode::kOff && ::isatty(STDERR_FILENO) != 0),
      lines_(mode == ProgressMode::kAlways && ::isatty(STDERR_FILENO) == 0) {}

backup::ProgressSink ProgressLine::Sink() {
  if (lines_) return [this](const backup::Progress& p) { Line(p); };
  if (!terminal_) return nullptr;
  return [this](const backup::Progress& p) {
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::milliseconds(200) && p.bytes_done < p.bytes_total) return;
    last_ = now;
    err_ << '\r' << ProgressText(p) << "\x1b[K" << std::flush;
    drawn_ = true;
  };
}

void ProgressLine::End() {
  if (drawn_) err_ << '\n';
  drawn_ = false;
}

void ProgressLine::Line(const backup::Progress& p) {
  const int tenth = p.bytes_total == 0 ? 0 : static_cast<int>(p.bytes_done * 10 / p.bytes_total);
  if (tenth == last_tenth_ && p.files_done == last_files_) return;
  last_tenth_ = tenth;
  last_files_ = p.files_done;
  err_ << "progress " << ProgressText(p) << '\n' << std::flush;
}

}  // namespace kyr::ridgemo
