#include "cli.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <iostream>
#include <sstream>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "console_host.h"
#include "headsim/usb_head.h"
#include "line_units.h"
#include "link/system_environment.h"
#include "strings/strings.h"
#include "window/ridgemo_app.h"

#ifndef KYR_VERSION
#define KYR_VERSION "0.0.0"
#endif

namespace kyr::ridgemo {
namespace {

// Options a command takes besides the global ones: a flag when `value` is empty, else an
// option with a value named `value`.
struct CommandOption {
  std::string_view name;
  std::string_view value;
  std::string_view help;
};

// The arguments after the options: `name` for the usage line, at least `min` of them.
struct Operands {
  std::string_view name;
  int min;
  int max;  // -1: any number
};

enum class JsonOutput { kNone, kOwn, kSummary };

struct CommandRow {
  Command command;
  Operands operands;
  std::vector<CommandOption> options;
  // --json: the command prints a document of its own, or the summary of what it did.
  JsonOutput json = JsonOutput::kNone;
  // --device all and --port P1,P2,... work on a line of units.
  bool several_units = false;
};

// One row per command; keep them in the order --help lists them. A new command is one row
// here and one function in a file of its own.
const std::vector<CommandRow>& CommandRows() {
  static const std::vector<CommandRow> rows = {
      {{"read-settings", "OUT.kdta [--yes]", RunReadSettings,
        "reads the head's settings into OUT.kdta"},
       {"OUT.kdta", 1, 1},
       {},
       JsonOutput::kSummary},
      {{"write-settings",
        "IN.kdta [--start B] [--end B] [--to B] [--no-common] [--no-alphabet]\n"
        "          [--no-dictionary] [--verify]",
        RunWriteSettings,
        "banks B are 0 to 31; --start also moves --to unless given; --verify reads the\n"
        "    written blocks back and reports the first difference (exit status 1)"},
       {"IN.kdta", 1, 1},
       {{"--start", "B", "first bank to write"},
        {"--end", "B", "last bank to write"},
        {"--to", "B", "first bank on the head to write into"},
        {"--no-common", "", "leave the common settings alone"},
        {"--no-alphabet", "", "leave the alphabet alone"},
        {"--no-dictionary", "", "leave the dictionary alone"},
        {"--verify", "", "read the written blocks back"}},
       JsonOutput::kSummary},
      {{"read-images", "--type bank|memory|shoot|ng OUT.kimg [--only 0,3,5] [--yes]", RunReadImages,
        "reads images of one kind from the head into OUT.kimg"},
       {"OUT.kimg", 1, 1},
       {{"--type", "bank|memory|shoot|ng", "the kind of images"},
        {"--only", "LIST", "only these image numbers, comma-separated"}}},
      {{"write-images", "--type bank|memory FILE... [--number K] [--yes]", RunWriteImages,
        "writes image files to the head"},
       {"FILE", 1, -1},
       {{"--type", "bank|memory", "the kind of images"},
        {"--number", "K", "the image number to write one file to"}}},
      {{"to-bmp", "IN.kimg OUT.bmp [--yes]", RunToBmp, "converts an image file to a bitmap"},
       {"IN.kimg OUT.bmp", 2, 2},
       {}},
      {{"monitor", "--frames N --bmp OUT.bmp [--yes]", RunMonitor,
        "grabs N frames of the head's screen (USB only) and saves the last one"},
       {"", 0, 0},
       {{"--frames", "N", "frames to grab"}, {"--bmp", "OUT.bmp", "the bitmap to save"}}},
      {{"backup",
        "DIR [--head 1|2|3|all] [--device SERIAL|all] [--images bank,memory|none] [--yes]",
        RunBackup,
        "every head's settings and registered images, bitmaps, index.html and\n"
        "    manifest.json into DIR, which appears only when complete; --device all: each\n"
        "    head unit on USB into DIR/SERIAL; --port P1,P2,...: the unit on each port into\n"
        "    DIR/NAME, NAME the last part of the port's path"},
       {"DIR", 1, 1},
       {{"--images", "bank,memory|none", "the image kinds to keep"}},
       JsonOutput::kSummary,
       true},
      {{"restore", "DIR [--head N] [--device all] [--no-images] [--verify] [--yes]", RunRestore,
        "checks DIR before the link opens, then writes the settings and images back;\n"
        "    --device all or --port P1,P2,...: each unit from its folder of the line backup DIR"},
       {"DIR", 1, 1},
       {{"--no-images", "", "write the settings only"},
        {"--verify", "", "read the written blocks back"}},
       JsonOutput::kSummary,
       true},
      {{"compare", "FILE.kdta [--head N]", RunCompare,
        "the file against the head's settings, setting by setting (exit 0 same,\n"
        "    1 different, 2 error)"},
       {"FILE.kdta", 1, 1},
       {},
       JsonOutput::kOwn},
      {{"audit",
        "DIR [--port P|P1,P2,...|--device SERIAL|all] [--report FILE] [--images bank,memory|none]",
        RunAudit,
        "the backup DIR (of a unit or a line) against the units connected now: settings\n"
        "    setting by setting, images by checksum, units and heads missing or new; writes\n"
        "    DIR/audit.html (or FILE); exit 0 all equal, 1 something differs, 2 error"},
       {"DIR", 1, 1},
       {{"--report", "FILE", "the page to write instead of DIR/audit.html"},
        {"--images", "bank,memory|none", "the image kinds to compare"}},
       JsonOutput::kOwn,
       true},
      {{"devices", "", RunDevices,
        "lists every head unit: index, serial number, description, device, and whether\n"
        "    this user may open it (--device SERIAL picks one for the other commands)"},
       {"", 0, 0},
       {},
       JsonOutput::kOwn},
  };
  return rows;
}

const Command* FindCommand(std::string_view name) {
  for (const CommandRow& row : CommandRows()) {
    if (row.command.name == name) return &row.command;
  }
  return nullptr;
}

constexpr const char* kHelpFooter =
    "Without a command the tool window opens (--simulate: with the built-in simulated\n"
    "head as its USB head unit; --simulate=N or --simulate --units N: a line of N units\n"
    "KYRD0001, KYRD0002, ..., whose heads hold some bank and memory images);\n"
    "--screenshot OUT.png [--scene NAME] renders the window instead and exits. Scenes: idle, "
    "monitor, prm-write, bank, memory, ng, shoot,\n"
    "write-number, message, help, compare, compare-backup (with --simulate: the results of\n"
    "Compare with file, of Compare with backup).\n"
    "--trace FILE (or KYR_TRACE=FILE): writes every frame to and from the head to FILE,\n"
    "one line each with time, direction, bytes, block and result; send it with a report.\n"
    "Global options may stand before or after the command; COMMAND --help shows its own.\n"
    "Exit status: 0 done, 1 the operation failed or was refused, 2 usage error.";

// A command's parser with the options it was given, rebuilt afterwards into the argument list
// its function reads ("--name VALUE", flags, then the operands).
struct ParsedCommand {
  const CommandRow* row = nullptr;
  CLI::App* app = nullptr;
  std::vector<CLI::Option*> options;
  std::vector<std::string> operands;

  std::vector<std::string> Arguments() const {
    std::vector<std::string> args;
    for (CLI::Option* option : options) {
      if (option->count() == 0) continue;
      args.push_back(option->get_name());
      if (option->get_expected_min() != 0) args.push_back(option->as<std::string>());
    }
    // Every operand is a path; one that starts with '-' (given after "--") is passed as the
    // same path from "./", so that the command cannot take it for an option.
    for (const std::string& operand : operands) {
      args.push_back(operand.starts_with('-') ? "./" + operand : operand);
    }
    return args;
  }
};

struct Parser {
  CLI::App app{"The communication tool for KYR-TC heads.", "ridgemo"};
  std::string lang;
  std::string head;
  std::optional<std::string> trace;
  bool version = false;
  std::optional<std::string> simulate;  // --simulate ("" without a count) or --simulate=N
  std::optional<std::string> units;     // --units N
  std::vector<ParsedCommand> commands;  // one per row, in the table's order
};

// A value that is an option name means the value was left out: "--port --yes" is refused
// rather than opening a port called "--yes".
const CLI::Validator NotAnOption(
    [](std::string& value) {
      return value.starts_with("--") ? "takes a value, not the option " + value : std::string();
    },
    "", "NotAnOption");

void AddCommand(Parser& parser, const CommandRow& row, GlobalOptions& options) {
  ParsedCommand parsed;
  parsed.row = &row;
  parsed.app =
      parser.app.add_subcommand(std::string(row.command.name), std::string(row.command.detail));
  for (const CommandOption& option : row.options) {
    CLI::Option* added = option.value.empty() ? parsed.app->add_flag(std::string(option.name))
                                              : parsed.app->add_option(std::string(option.name))
                                                    ->type_name(std::string(option.value));
    added->description(std::string(option.help));
    if (!option.value.empty()) added->check(NotAnOption);
    parsed.options.push_back(added);
  }
  if (row.json != JsonOutput::kNone) {
    parsed.app->add_flag("--json", options.json,
                         "one JSON document on stdout, in English whatever the language");
  }
  parsed.app->footer("usage: ridgemo " + std::string(row.command.name) + ' ' +
                     std::string(row.command.usage) +
                     "\nThe global options (ridgemo --help) may stand here too.");
  parser.commands.push_back(std::move(parsed));
}

// The parser of every global option and command; `options` and `window` receive the values.
void BuildParser(Parser& parser, GlobalOptions& options, WindowOptions& window) {
  CLI::App& app = parser.app;
  app.fallthrough();  // global options after the command name too
  app.require_subcommand(0, 1);
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  app.add_option("--port", options.port,
                 "serial port or USB (default USB); backup, restore: P1,P2,... a unit on each")
      ->type_name("P");
  app.add_option("--head", parser.head, "target head 1, 2 or 3 (backup: all)")->type_name("1|2|3");
  app.add_option("--device", options.device,
                 "the head unit by serial number (backup, restore: all)")
      ->type_name("SERIAL");
  app.add_flag("--simulate{}", parser.simulate,
               "the built-in simulated head as the USB unit; =N: a line of N units")
      ->type_name("N");
  app.add_option("--units", parser.units, "with --simulate: the number of simulated units")
      ->type_name("N");
  app.add_flag("--yes", options.yes, "answer Yes to every question");
  CLI::Option* quiet = app.add_flag("-q,--quiet", options.quiet, "no progress on stderr");
  app.add_flag("-v,--verbose", options.verbose,
               "the link's notes on stderr: discovery, recovery, retries, drains");
  app.add_flag("--progress", options.progress, "progress on stderr also when it is no terminal")
      ->excludes(quiet);
  app.add_option("--lang", parser.lang, "language of messages")->type_name("en|ja");
  app.add_option("--trace", parser.trace, "write every frame to FILE")->type_name("FILE");
  app.add_option("--screenshot", window.screenshot, "render the window into a PNG and exit")
      ->type_name("OUT.png");
  app.add_option("--scene", window.scene, "what the screenshot shows")->type_name("NAME");
  app.add_flag("--version", parser.version, "print the version");
  for (CLI::Option* option : app.get_options()) {
    if (option->get_expected_min() != 0) option->check(NotAnOption);
  }
  parser.commands.reserve(CommandRows().size());
  for (const CommandRow& row : CommandRows()) AddCommand(parser, row, options);
  app.footer(kHelpFooter);  // after the commands, which would inherit it
  // Operands last: pointers into `commands` are stable once it is complete.
  for (ParsedCommand& command : parser.commands) {
    const Operands& operands = command.row->operands;
    if (operands.max == 0) continue;
    CLI::Option* added =
        command.app->add_option(std::string(operands.name), command.operands)->type_name("");
    added->expected(operands.min,
                    operands.max < 0 ? CLI::detail::expected_max_vector_size : operands.max);
    added->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    if (operands.min > 0) added->required();
  }
}

// What a --json summary calls a command's exit status.
std::string_view ResultName(int status) {
  return status == kExitDone ? "done" : status == kExitUsage ? "usage" : "failed";
}

nlohmann::ordered_json MessageJson(const ConsoleHost::Shown& shown) {
  const auto id = static_cast<ToolText>(shown.message.string_id);
  nlohmann::ordered_json item = {{"id", shown.message.string_id},
                                 {"name", TextName(id)},
                                 {"text", shown.message.text},
                                 {"icon", userport::IconName(shown.message.icon)}};
  if (userport::IsQuestion(shown.message.buttons)) {
    std::string answer(userport::AnswerName(shown.answer));
    std::transform(answer.begin(), answer.end(), answer.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    item["answer"] = answer;
  }
  return item;
}

// Runs the command with its messages and its lines on stdout kept, then prints them as one
// JSON document: {"command", "result", "exit_status", on a line "units": [{name, port,
// serial, result, problem}], "messages": [{id, name, text, icon, answer}], "output": [lines]}. Keys
// and names are English; texts follow the language.
int RunWithSummary(const CommandRow& row, std::vector<std::string> args,
                   const GlobalOptions& options, ConsoleHost& host) {
  host.KeepMessages();
  std::ostringstream out;
  CommandContext ctx{std::move(args), options, host, out, std::cerr, &host};
  const int status = row.command.run(ctx);
  nlohmann::ordered_json messages = nlohmann::ordered_json::array();
  for (const ConsoleHost::Shown& shown : host.kept()) messages.push_back(MessageJson(shown));
  nlohmann::ordered_json lines = nlohmann::ordered_json::array();
  std::istringstream printed(out.str());
  for (std::string line; std::getline(printed, line);) lines.push_back(line);
  nlohmann::ordered_json document = {
      {"command", row.command.name}, {"result", ResultName(status)}, {"exit_status", status}};
  if (!ctx.units.empty()) {
    nlohmann::ordered_json& units = document["units"] = nlohmann::ordered_json::array();
    for (const UnitOutcome& unit : ctx.units) {
      units.push_back({{"name", unit.name},
                       {"port", unit.port},
                       {"serial", unit.serial},
                       {"result", unit.done ? "done" : "failed"},
                       {"problem", unit.problem}});
    }
  }
  document["messages"] = messages;
  document["output"] = lines;
  std::cout << document.dump(2) << '\n';
  return status;
}

// The command whose parser was reached, or nullptr.
const ParsedCommand* ChosenCommand(const Parser& parser) {
  for (const ParsedCommand& command : parser.commands) {
    if (command.app->parsed()) return &command;
  }
  return nullptr;
}

int ReportUsageError(const Parser& parser, const std::string& what) {
  std::cerr << "ridgemo: " << what << '\n';
  if (const ParsedCommand* command = ChosenCommand(parser)) {
    std::cerr << "usage: ridgemo " << command->row->command.name << ' '
              << command->row->command.usage << "\n(see ridgemo " << command->row->command.name
              << " --help)\n";
  } else {
    std::cerr << "(see ridgemo --help)\n";
  }
  return kExitUsage;
}

// Checks what the parser cannot: the language and head values. Empty when they are good.
std::string CheckGlobalValues(const Parser& parser, GlobalOptions& options) {
  if (!parser.lang.empty()) {
    const auto parsed = ParseLanguage(parser.lang);
    if (!parsed) return "--lang takes en or ja";
    SetLanguage(*parsed);
  }
  if (!parser.head.empty()) {
    options.head_given = true;
    options.all_heads = parser.head == "all";
    const std::optional<int> value = options.all_heads ? 1 : ParseNumber(parser.head);
    if (!value || *value < 1 || *value > 3) return "--head takes 1, 2 or 3";
    options.head = *value;
  }
  if (parser.simulate || parser.units) {
    const std::string count = parser.units.value_or(parser.simulate.value_or(""));
    const std::optional<int> units = count.empty() ? 1 : ParseNumber(count);
    if (!parser.simulate || !units || *units < 1 || *units > headsim::kMaxSimulatedUnits) {
      return "--simulate=N and --simulate --units N take 1 to " +
             std::to_string(headsim::kMaxSimulatedUnits);
    }
    options.simulate = true;
    options.simulated_units = *units;
  }
  return CheckLineOptions(options);
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

ProgressMode ProgressModeOf(const GlobalOptions& options) {
  if (options.quiet) return ProgressMode::kOff;
  return options.progress ? ProgressMode::kAlways : ProgressMode::kOnTerminal;
}

link::LinkEnvironment LinkEnvironmentFor(const GlobalOptions& options) {
  link::LinkEnvironment system = link::SystemLinkEnvironment();
  link::LinkEnvironment environment =
      options.simulate
          ? headsim::WithDefaultSimulatedHead(system, options.simulated_units, options.device)
          : system;
  environment.device_serial = options.device;
  if (options.trace) environment.trace = &options.trace->log();
  if (options.unit_trace) environment.trace = options.unit_trace.get();
  environment.notes = options.notes;
  return environment;
}

int UsageError(const CommandContext& ctx, std::string_view command) {
  const Command* found = FindCommand(command);
  ctx.err << "usage: ridgemo " << command << ' ' << (found ? found->usage : "") << "\n(see ridgemo "
          << command << " --help)\n";
  return kExitUsage;
}

int RunCommandLine(const std::vector<std::string>& arguments, bool& handled,
                   WindowOptions& window) {
  SetLanguage(LanguageFromEnvironment());
  handled = true;
  GlobalOptions options;
  Parser parser;
  BuildParser(parser, options, window);
  std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
  try {
    parser.app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    std::cout << parser.app.help();
    return kExitDone;
  } catch (const CLI::ParseError& error) {
    return ReportUsageError(parser, error.what());
  }
  if (const std::string error = CheckGlobalValues(parser, options); !error.empty()) {
    return ReportUsageError(parser, error);
  }
  if (parser.version) {
    std::cout << "ridgemo " << KYR_VERSION << '\n';
    return kExitDone;
  }
  const ParsedCommand* command = ChosenCommand(parser);
  window.simulate = options.simulate;
  window.simulated_units = options.simulated_units;
  window.device = options.device;
  if (command == nullptr) {
    window.trace = link::ChosenTracePath(parser.trace);
    handled = false;
    return kExitDone;
  }
  if (!window.screenshot.empty()) {
    return ReportUsageError(parser, "--screenshot applies to the window, not to a command");
  }
  if (options.all_heads && command->row->command.run != RunBackup) {
    return ReportUsageError(parser, "--head all is for backup only");
  }
  if (ChoosesLine(options) && !command->row->several_units) {
    return ReportUsageError(parser,
                            "--device all and several ports are for backup, restore and audit");
  }
  // Opened only now, so that a usage error or the window leaves an existing trace alone.
  if (const std::string trace = link::ChosenTracePath(parser.trace); !trace.empty()) {
    options.trace = link::TraceFile::Open(trace);
    if (!options.trace) {
      std::cerr << "ridgemo: cannot write the trace file \"" << trace << "\"\n";
      return kExitUsage;
    }
    options.trace->ReportFailureOn(std::cerr,
                                   FormatMessage(LoadString(ToolText::kTraceUnwritable), {trace}));
  }
  ConsoleHost host(options.yes, std::cout, std::cerr, ProgressModeOf(options));
  if (options.verbose) options.notes = [&host](std::string_view note) { host.Note(note); };
  if (options.json && command->row->json == JsonOutput::kSummary) {
    return RunWithSummary(*command->row, command->Arguments(), options, host);
  }
  CommandContext ctx{command->Arguments(), options, host, std::cout, std::cerr, &host};
  return command->row->command.run(ctx);
}

}  // namespace kyr::ridgemo
