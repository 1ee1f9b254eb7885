#include "cli.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <iostream>

#include "console_host.h"
#include "headsim/usb_head.h"
#include "link/system_environment.h"
#include "strings/strings.h"

#ifndef KYR_VERSION
#define KYR_VERSION "0.0.0"
#endif

namespace kyr::ridgemo {
namespace {

// One row per command; keep them in the order --help lists them.
constexpr std::array kCommands = {
    Command{"read-settings", "OUT.kdta [--yes]", RunReadSettings},
    Command{"write-settings",
            "IN.kdta [--start B] [--end B] [--to B] [--no-common] [--no-alphabet]\n"
            "          [--no-dictionary] [--verify]",
            RunWriteSettings,
            "banks B are 0 to 31; --start also moves --to unless given; --verify reads the\n"
            "    written blocks back and reports the first difference (exit status 1)"},
    Command{"read-images", "--type bank|memory|shoot|ng OUT.kimg [--only 0,3,5] [--yes]",
            RunReadImages},
    Command{"write-images", "--type bank|memory FILE... [--number K] [--yes]", RunWriteImages},
    Command{"to-bmp", "IN.kimg OUT.bmp [--yes]", RunToBmp},
    Command{"monitor", "--frames N --bmp OUT.bmp [--yes]", RunMonitor,
            "grabs N frames of the head's screen (USB only) and saves the last one"},
    Command{"backup",
            "DIR [--head 1|2|3|all] [--device SERIAL|all] [--images bank,memory|none] [--yes]",
            RunBackup,
            "every head's settings and registered images, bitmaps, index.html and\n"
            "    manifest.json into DIR, which appears only when complete; --device all: each\n"
            "    head unit on USB into DIR/SERIAL"},
    Command{"restore", "DIR [--head N] [--no-images] [--verify] [--yes]", RunRestore,
            "checks DIR before the link opens, then writes the settings and images back"},
    Command{"compare", "FILE.kdta [--head N]", RunCompare,
            "the file against the head's settings, setting by setting (exit 0 same,\n"
            "    1 different, 2 error)"},
    Command{"devices", "", RunDevices,
            "lists every head unit: index, serial number, description, device, and whether\n"
            "    this user may open it (--device SERIAL picks one for the other commands)"},
};

const Command* FindCommand(std::string_view name) {
  const auto it = std::find_if(kCommands.begin(), kCommands.end(),
                               [name](const Command& c) { return c.name == name; });
  return it == kCommands.end() ? nullptr : &*it;
}

void PrintHelp(std::ostream& out) {
  out << "usage: ridgemo [--port P] [--head 1|2|3] [--device SERIAL] [--simulate] [--lang en|ja]\n"
         "               [--trace FILE] [COMMAND ...]\n"
         "Without a command the tool window opens (--simulate: with the built-in simulated\n"
         "head as its USB head unit); --screenshot OUT.png [--scene NAME] renders the window\n"
         "instead and exits. Scenes: idle, monitor, prm-write, bank, memory, ng, shoot,\n"
         "write-number, message, help.\n"
         "--trace FILE (or KYR_TRACE=FILE): writes every frame to and from the head to FILE,\n"
         "one line each with time, direction, bytes, block and result; send it with a report.\n"
         "\ncommands:\n";
  for (const Command& command : kCommands) {
    out << "  ridgemo " << command.name << ' ' << command.usage << '\n';
    if (!command.detail.empty()) out << "    " << command.detail << '\n';
  }
  out << "\n  --help, --version\n"
         "Exit status: 0 done, 1 the operation failed or was refused, 2 usage error.\n";
}

struct ParsedLine {
  GlobalOptions options;
  std::vector<std::string> rest;
  std::optional<std::string> trace;  // --trace FILE
  bool help = false;
  bool version = false;
  std::string error;  // set when the global options are wrong
};

// Removes every occurrence of `flag`; true when there was one.
bool TakeAllFlags(std::vector<std::string>& args, std::string_view flag) {
  bool found = false;
  while (TakeFlag(args, flag)) found = true;
  return found;
}

// Removes every `name VALUE`; the last value counts.
std::optional<std::string> TakeLastOption(std::vector<std::string>& args, std::string_view name,
                                          bool& missing) {
  std::optional<std::string> last;
  while (auto value = TakeOption(args, name, missing)) last = std::move(value);
  return last;
}

// Takes the global options out of the arguments, wherever they stand.
ParsedLine ParseGlobalOptions(std::vector<std::string> args) {
  ParsedLine line;
  bool missing = false;
  line.help = TakeAllFlags(args, "--help");
  line.version = TakeAllFlags(args, "--version");
  line.options.simulate = TakeAllFlags(args, "--simulate");
  line.options.yes = TakeAllFlags(args, "--yes");
  if (const auto lang = TakeLastOption(args, "--lang", missing)) {
    const auto parsed = ParseLanguage(*lang);
    if (!parsed) line.error = "--lang takes en or ja";
    SetLanguage(parsed.value_or(CurrentLanguage()));
  }
  if (const auto port = TakeLastOption(args, "--port", missing)) line.options.port = *port;
  if (const auto device = TakeLastOption(args, "--device", missing)) {
    line.options.device = *device;
  }
  line.trace = TakeLastOption(args, "--trace", missing);
  if (const auto head = TakeLastOption(args, "--head", missing)) {
    line.options.head_given = true;
    line.options.all_heads = *head == "all";
    const std::optional<int> value = line.options.all_heads ? 1 : ParseNumber(*head);
    if (!value || *value < 1 || *value > 3) line.error = "--head takes 1, 2 or 3";
    line.options.head = value.value_or(0);
  }
  if (missing) line.error = "an option is missing its value";
  line.rest = std::move(args);
  return line;
}

}  // namespace

bool LooksLikeOption(const std::string& arg) {
  return arg.size() > 1 && arg.starts_with("--");
}

std::optional<int> ParseNumber(std::string_view text) {
  int value = -1;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
  return value;
}

bool TakeFlag(std::vector<std::string>& args, std::string_view flag) {
  const auto it = std::find(args.begin(), args.end(), flag);
  if (it == args.end()) return false;
  args.erase(it);
  return true;
}

std::optional<std::string> TakeOption(std::vector<std::string>& args, std::string_view name,
                                      bool& missing) {
  const auto it = std::find(args.begin(), args.end(), name);
  if (it == args.end()) return std::nullopt;
  if (it + 1 == args.end()) {
    missing = true;
    args.erase(it);
    return std::nullopt;
  }
  std::string value = *(it + 1);
  args.erase(it, it + 2);
  return value;
}

link::LinkEnvironment LinkEnvironmentFor(const GlobalOptions& options) {
  link::LinkEnvironment system = link::SystemLinkEnvironment();
  link::LinkEnvironment environment =
      options.simulate ? headsim::WithDefaultSimulatedHead(system) : system;
  environment.device_serial = options.device;
  if (options.trace) environment.trace = &options.trace->log();
  return environment;
}

int UsageError(const CommandContext& ctx, std::string_view command) {
  const Command* found = FindCommand(command);
  ctx.err << "usage: ridgemo " << command << ' ' << (found ? found->usage : "") << '\n';
  return kExitUsage;
}

int RunCommandLine(const std::vector<std::string>& arguments, bool& handled) {
  SetLanguage(LanguageFromEnvironment());
  ParsedLine line = ParseGlobalOptions(arguments);
  handled = true;
  if (!line.error.empty()) {
    std::cerr << "ridgemo: " << line.error << '\n';
    return kExitUsage;
  }
  if (line.help) {
    PrintHelp(std::cout);
    return kExitDone;
  }
  if (line.version) {
    std::cout << "ridgemo " << KYR_VERSION << '\n';
    return kExitDone;
  }
  if (line.rest.empty()) {
    handled = false;
    return kExitDone;
  }
  const Command* command = FindCommand(line.rest.front());
  if (command == nullptr) {
    std::cerr << "ridgemo: unknown command or option \"" << line.rest.front()
              << "\" (see ridgemo --help)\n";
    return kExitUsage;
  }
  if ((line.options.all_heads || line.options.device == "all") && command->run != RunBackup) {
    std::cerr << "ridgemo: --head all and --device all are for backup only\n";
    return kExitUsage;
  }
  // Opened only now, so that a usage error or the window leaves an existing trace alone.
  if (const std::string trace = link::ChosenTracePath(line.trace); !trace.empty()) {
    line.options.trace = link::TraceFile::Open(trace);
    if (!line.options.trace) {
      std::cerr << "ridgemo: cannot write the trace file \"" << trace << "\"\n";
      return kExitUsage;
    }
    line.options.trace->ReportFailureOn(
        std::cerr,
        FormatMessage(LoadString(StringTable::Tool, link::kStrTraceUnwritable), {trace}));
  }
  ConsoleHost host(line.options.yes, std::cout, std::cerr);
  CommandContext ctx{std::vector<std::string>(line.rest.begin() + 1, line.rest.end()),
                     line.options,
                     host,
                     std::cout,
                     std::cerr,
                     &host};
  return command->run(ctx);
}

}  // namespace kyr::ridgemo
