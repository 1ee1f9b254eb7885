#include "cli.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <map>
#include <set>
#include <string_view>

#include "files/atomic_file.h"
#include "settings/conversion.h"
#include "settings/initial_values.h"
#include "settings/message_ids.h"
#include "settings/settings_file.h"
#include "strings/strings.h"

namespace kyr::tolvane {
namespace {

using settings::CommentTexts;
using settings::SettingsImage;

struct Command {
  std::string_view name;
  std::size_t min_args;
  std::size_t max_args;
  std::set<std::string_view> options;  // options the command accepts besides the shared ones
  int (*run)(const CommandArgs&);
  std::string_view usage;
};

// Options that take a value; every other option is a flag.
const std::set<std::string_view> kValueOptions = {"--lang", "--screenshot", "-o",       "--page",
                                                  "--bank", "--window",     "--compare"};
// Options of the window mode besides the shared ones.
const std::set<std::string_view> kWindowOptions = {"--screenshot", "--page", "--bank", "--window",
                                                   "--compare"};
const std::set<std::string_view> kSharedOptions = {"--lang", "--help", "--version"};

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
    case settings::kReadComplete:
      break;
    case settings::kReadShortFile:
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

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"init", 1, 1, {"--yes"}, RunInit, "init OUT.kdta [--yes]"},
      {"upgrade", 2, 2, {"--yes"}, RunUpgrade, "upgrade IN.kdta OUT.kdta [--yes]"},
      {"csv", 1, 1, {"-o", "--yes"}, RunCsv, "csv IN.kdta [-o OUT.csv] [--yes]"},
      {"diff", 2, 2, {}, RunDiff, "diff A.kdta B.kdta"},
  };
  return commands;
}

const Command* FindCommand(std::string_view name) {
  for (const Command& command : Commands()) {
    if (command.name == name) return &command;
  }
  return nullptr;
}

// Shown by --help after the usage lines.
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

void PrintUsage(std::FILE* out) {
  std::fputs(
      "usage: tolvane [--lang en|ja] [FILE.kdta] [--screenshot OUT.png] [--page 1-5]\n"
      "               [--bank 0-31] [--window 1-16] [--compare OTHER.kdta]\n",
      out);
  for (const Command& command : Commands()) {
    std::fprintf(out, "       tolvane [--lang en|ja] %.*s\n",
                 static_cast<int>(command.usage.size()), command.usage.data());
  }
  std::fputs("       tolvane --help | --version\n", out);
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

int UsageError(const std::string& detail) {
  std::fprintf(stderr, "tolvane: %s\n", detail.c_str());
  PrintUsage(stderr);
  return kExitUsage;
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
  CommandArgs parsed;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.size() < 2 || arg[0] != '-') {
      parsed.positional.push_back(arg);
    } else if (kValueOptions.count(arg) != 0) {
      if (i + 1 == args.size()) return {UsageError(arg + " needs a value"), {}};
      parsed.options[arg] = args[++i];
    } else {
      parsed.options[arg] = "";
    }
  }

  SetLanguage(LanguageFromEnvironment());
  if (parsed.Has("--lang")) {
    const auto lang = ParseLanguage(parsed.options["--lang"]);
    if (!lang) return {UsageError("--lang takes en or ja"), {}};
    SetLanguage(*lang);
  }
  if (parsed.Has("--help")) {
    PrintUsage(stdout);
    std::fputs(kHelpNotes, stdout);
    return {kExitDone, {}};
  }
  if (parsed.Has("--version")) {
    std::printf("tolvane %s\n", KYR_VERSION);
    return {kExitDone, {}};
  }

  const Command* command = parsed.positional.empty() ? nullptr : FindCommand(parsed.positional[0]);
  if (command == nullptr) {
    // No command: the window, optionally with a file to read.
    for (const auto& [option, value] : parsed.options) {
      if (kSharedOptions.count(option) == 0 && kWindowOptions.count(option) == 0) {
        return {UsageError("unknown option " + option), {}};
      }
    }
    if (parsed.positional.size() > 1)
      return {UsageError("unknown command " + parsed.positional[0]), {}};
    WindowRequest window;
    if (!parsed.positional.empty()) window.file = parsed.positional[0];
    if (parsed.Has("--screenshot")) window.screenshot = parsed.options["--screenshot"];
    if (parsed.Has("--compare")) window.compare = parsed.options["--compare"];
    struct Ranged {
      const char* option;
      int low;
      int high;
      std::optional<int>* target;
    };
    for (const Ranged& ranged :
         {Ranged{"--page", 1, 5, &window.page}, Ranged{"--bank", 0, 31, &window.bank},
          Ranged{"--window", 1, 16, &window.window}}) {
      if (!parsed.Has(ranged.option)) continue;
      *ranged.target = NumberIn(parsed.options[ranged.option], ranged.low, ranged.high);
      if (!*ranged.target) {
        return {UsageError(std::string(ranged.option) + " takes a number from " +
                           std::to_string(ranged.low) + " to " + std::to_string(ranged.high)),
                {}};
      }
    }
    return {std::nullopt, window};
  }

  parsed.positional.erase(parsed.positional.begin());
  for (const auto& [option, value] : parsed.options) {
    if (kSharedOptions.count(option) == 0 && command->options.count(option) == 0) {
      return {UsageError("unknown option " + option + " for " + std::string(command->name)), {}};
    }
  }
  if (parsed.positional.size() < command->min_args ||
      parsed.positional.size() > command->max_args) {
    return {UsageError("wrong number of arguments for " + std::string(command->name)), {}};
  }
  return {command->run(parsed), {}};
}

}  // namespace kyr::tolvane
