#include "cli.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <array>
#include <cstdio>
#include <iostream>
#include <map>
#include <string_view>

#include "files/atomic_file.h"
#include "settings/conversion.h"
#include "settings/initial_values.h"
#include "settings/settings_file.h"
#include "strings/strings.h"
#include "strings/text_ids.h"

namespace kyr::tolvane {
namespace {

using settings::CommentTexts;
using settings::SettingsImage;

// An option of a command: a flag when `value` is empty, else an option with a value.
struct CommandOption {
  std::string_view name;
  std::string_view value;
  std::string_view help;
};

struct Command {
  std::string_view name;
  std::vector<std::string_view> operands;  // each one required
  std::vector<CommandOption> options;
  int (*run)(const CommandArgs&);
  std::string_view usage;
  std::string_view help;
};

// Saves as the editor's Save Settings does: asks before replacing a file.
int SaveSettings(const std::string& path, const SettingsImage& image, const CommentTexts& comments,
                 bool yes) {
  if (files::PathExists(path) && !AskQuestion(EditorText::kOverwriteQuestion, yes))
    return kExitFailed;
  if (settings::WriteSettingsFile(path, image, comments) != settings::WriteResult::kWritten) {
    PrintMessage(EditorText::kFailToCreate);
    return kExitFailed;
  }
  return kExitDone;
}

int RunInit(const CommandArgs& args) {
  static SettingsImage image{};
  static CommentTexts comments{};
  settings::InitializeSettings(image, comments);
  return SaveSettings(args.positional[0], image, comments, args.Has("--yes"));
}

int RunUpgrade(const CommandArgs& args) {
  static SettingsImage image{};
  static CommentTexts comments{};
  settings::InitializeSettings(image, comments);
  switch (settings::ReadSettingsFile(args.positional[0], image)) {
    case settings::ReadResult::kComplete:
      break;
    case settings::ReadResult::kShortFile:
      PrintMessage(EditorText::kIllegalContents);
      return kExitFailed;
    default:
      PrintMessage(EditorText::kFailToOpenSettings);
      return kExitFailed;
  }
  const auto outcome = settings::ConvertAfterRead(image, comments, [] { return true; });
  if (outcome == settings::AfterRead::kForeignModel) {
    PrintMessage(EditorText::kNotKyrTc);
    return kExitFailed;
  }
  return SaveSettings(args.positional[1], image, comments, args.Has("--yes"));
}

const CommandOption kYes{"--yes", "", "answer Yes to the question before replacing a file"};

// One row per command; a new command is one row here and one function.
const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"init",
       {"OUT.kdta"},
       {kYes},
       RunInit,
       "init OUT.kdta [--yes]",
       "writes a freshly initialised settings file"},
      {"upgrade",
       {"IN.kdta", "OUT.kdta"},
       {kYes},
       RunUpgrade,
       "upgrade IN.kdta OUT.kdta [--yes]",
       "converts an older settings file and saves it"},
      {"csv",
       {"IN.kdta"},
       {{"-o", "OUT.csv", "the CSV file (default: IN with .csv)"}, kYes},
       RunCsv,
       "csv IN.kdta [-o OUT.csv] [--yes]",
       "lists a settings file as comma-separated text"},
      {"diff",
       {"A.kdta", "B.kdta"},
       {{"--json", "", "one JSON document on stdout, in English whatever the language"}},
       RunDiff,
       "diff A.kdta B.kdta [--json]",
       "compares two settings files setting by setting (exit 0 equal, 1 different, 2 error)"},
  };
  return commands;
}

// The usage line of the window and of every command.
std::string UsageLines() {
  std::string lines =
      "usage: tolvane [--lang en|ja] [FILE.kdta] [--screenshot OUT.png] [--page 1-5]\n"
      "               [--bank 0-31] [--window 1-16] [--compare OTHER.kdta]\n";
  for (const Command& command : Commands()) {
    lines += "       tolvane [--lang en|ja] " + std::string(command.usage) + '\n';
  }
  return lines + "       tolvane --help | --version | COMMAND --help\n";
}

// Shown by --help after the options.
constexpr const char* kHelpNotes =
    "\n"
    "csv lists IN.kdta as comma-separated text (UTF-8, CR LF line ends) in OUT.csv, by\n"
    "default IN with its .kdta replaced by .csv. The lines \"Window Calc.\",\n"
    "\"CoordLimit X±\" and \"CoordLimit Y±\" of a bank's section show the values of\n"
    "the bank's window 1, where those settings are kept.\n"
    "\n"
    "diff compares A.kdta with B.kdta setting by setting and prints one line per\n"
    "differing setting: where it is, its label, its value in A and in B. Words that\n"
    "no setting covers are shown by word number in hex. When the settings versions\n"
    "differ, the older file is converted first. Exit status: 0 equal, 1 different,\n"
    "2 a file could not be read.\n";

// A value that is an option name means the value was left out ("-o --yes").
const CLI::Validator NotAnOption(
    [](std::string& value) {
      return value.starts_with("-") && value.size() > 1 ? "takes a value, not the option " + value
                                                        : std::string();
    },
    "", "NotAnOption");

// A command's parser and what it collected.
struct ParsedCommand {
  const Command* command = nullptr;
  CLI::App* app = nullptr;
  std::vector<std::pair<std::string, CLI::Option*>> options;
  std::vector<std::string> operands;
};

struct Parser {
  CLI::App app{"The offline editor of KYR-TC settings files.", "tolvane"};
  std::string lang;
  bool version = false;
  std::vector<std::string> file;  // the window's settings file: at most one
  std::vector<ParsedCommand> commands;
};

void AddCommand(Parser& parser, const Command& command) {
  ParsedCommand parsed;
  parsed.command = &command;
  parsed.app = parser.app.add_subcommand(std::string(command.name), std::string(command.help));
  for (const CommandOption& option : command.options) {
    CLI::Option* added = option.value.empty() ? parsed.app->add_flag(std::string(option.name))
                                              : parsed.app->add_option(std::string(option.name))
                                                    ->type_name(std::string(option.value))
                                                    ->check(NotAnOption);
    added->description(std::string(option.help));
    parsed.options.emplace_back(std::string(option.name), added);
  }
  parsed.app->footer("usage: tolvane [--lang en|ja] " + std::string(command.usage));
  parser.commands.push_back(std::move(parsed));
}

void BuildParser(Parser& parser, WindowRequest& window, std::vector<std::string>& ranged_texts) {
  CLI::App& app = parser.app;
  app.fallthrough();
  app.require_subcommand(0, 1);
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  app.add_option("--lang", parser.lang, "language of messages")->type_name("en|ja");
  app.add_flag("--version", parser.version, "print the version");
  app.add_option("--screenshot", window.screenshot, "render the window into a PNG and exit")
      ->type_name("OUT.png");
  app.add_option("--page", ranged_texts[0], "page shown after start-up")->type_name("1-5");
  app.add_option("--bank", ranged_texts[1], "bank shown after start-up")->type_name("0-31");
  app.add_option("--window", ranged_texts[2], "window shown after start-up")->type_name("1-16");
  app.add_option("--compare", window.compare, "a settings file to compare the open one with")
      ->type_name("OTHER.kdta");
  for (CLI::Option* option : app.get_options()) {
    if (option->get_expected_min() != 0) option->check(NotAnOption);
  }
  parser.commands.reserve(Commands().size());
  for (const Command& command : Commands()) AddCommand(parser, command);
  for (ParsedCommand& command : parser.commands) {
    if (command.command->operands.empty()) continue;
    std::string names;
    for (const std::string_view name : command.command->operands) {
      names += (names.empty() ? "" : " ") + std::string(name);
    }
    const int count = static_cast<int>(command.command->operands.size());
    command.app->add_option(names, command.operands)
        ->expected(count)
        ->required()
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->type_name("");
  }
  app.add_option("FILE.kdta", parser.file, "a settings file to open")
      ->expected(0, 1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  app.footer(UsageLines() + kHelpNotes);
}

const ParsedCommand* ChosenCommand(const Parser& parser) {
  for (const ParsedCommand& command : parser.commands) {
    if (command.app->parsed()) return &command;
  }
  return nullptr;
}

int UsageError(const Parser& parser, const std::string& detail) {
  std::fprintf(stderr, "tolvane: %s\n", detail.c_str());
  if (const ParsedCommand* command = ChosenCommand(parser)) {
    std::fprintf(stderr, "usage: tolvane [--lang en|ja] %s\n(see tolvane %s --help)\n",
                 std::string(command->command->usage).c_str(),
                 std::string(command->command->name).c_str());
  } else {
    std::fputs(UsageLines().c_str(), stderr);
  }
  return kExitUsage;
}

// A whole decimal number from `low` to `high`, or nothing.
std::optional<int> NumberIn(const std::string& text, int low, int high) {
  if (text.empty() || text.size() > 3) return std::nullopt;
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < low || value > high) return std::nullopt;
  return value;
}

// No command: the window, with the page, bank and window numbers checked.
CommandLineOutcome WindowOutcome(const Parser& parser, WindowRequest window,
                                 const std::vector<std::string>& ranged_texts) {
  if (!parser.file.empty()) window.file = parser.file.front();
  struct Ranged {
    const char* option;
    int low;
    int high;
    std::optional<int>* target;
  };
  const std::array ranges = {Ranged{"--page", 1, 5, &window.page},
                             Ranged{"--bank", 0, 31, &window.bank},
                             Ranged{"--window", 1, 16, &window.window}};
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    const Ranged& ranged = ranges[i];
    if (ranged_texts[i].empty()) continue;
    *ranged.target = NumberIn(ranged_texts[i], ranged.low, ranged.high);
    if (!*ranged.target) {
      return {
          UsageError(parser, std::string(ranged.option) + " takes a number from " +
                                 std::to_string(ranged.low) + " to " + std::to_string(ranged.high)),
          {}};
    }
  }
  return {std::nullopt, window};
}

}  // namespace

void PrintMessage(EditorText id) {
  std::cerr << LoadString(id) << '\n';
}

bool AskQuestion(EditorText id, bool yes_option) {
  if (yes_option) return true;
  std::cerr << LoadString(id);
  if (!::isatty(STDIN_FILENO)) {
    std::cerr << " no (use --yes to answer yes)\n";
    return false;
  }
  std::cerr << " [y/N] " << std::flush;
  std::string answer;
  std::getline(std::cin, answer);
  return answer == "y" || answer == "Y" || answer == "yes";
}

CommandLineOutcome RunCommandLine(const std::vector<std::string>& args) {
  SetLanguage(LanguageFromEnvironment());
  WindowRequest window;
  std::vector<std::string> ranged_texts(3);
  Parser parser;
  BuildParser(parser, window, ranged_texts);
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    parser.app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    std::fputs(parser.app.help().c_str(), stdout);
    return {kExitDone, {}};
  } catch (const CLI::ParseError& error) {
    return {UsageError(parser, error.what()), {}};
  }
  if (!parser.lang.empty()) {
    const auto lang = ParseLanguage(parser.lang);
    if (!lang) return {UsageError(parser, "--lang takes en or ja"), {}};
    SetLanguage(*lang);
  }
  if (parser.version) {
    std::printf("tolvane %s\n", KYR_VERSION);
    return {kExitDone, {}};
  }

  const ParsedCommand* command = ChosenCommand(parser);
  if (command == nullptr) return WindowOutcome(parser, window, ranged_texts);
  for (const CLI::Option* option : parser.app.get_options()) {
    const std::string name = option->get_name();
    if (option->count() != 0 && name != "--lang" && name != "--version") {
      return {UsageError(parser, name + " applies to the window, not to a command"), {}};
    }
  }
  // The parser leaves a short list of operands to the command ("diff A.kdta").
  if (command->operands.size() != command->command->operands.size() || !parser.file.empty()) {
    return {
        UsageError(parser, "wrong number of arguments for " + std::string(command->command->name)),
        {}};
  }
  CommandArgs parsed;
  parsed.positional = command->operands;
  for (const auto& [name, option] : command->options) {
    if (option->count() == 0) continue;
    parsed.options[name] = option->get_expected_min() == 0 ? "" : option->as<std::string>();
  }
  return {command->command->run(parsed), {}};
}

}  // namespace kyr::tolvane
