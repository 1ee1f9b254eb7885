// kyr-headsim: a simulated KYR-TC head unit on a pseudo-terminal, for demonstrations and
// for testing the communication tool without hardware.
#include <signal.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "headsim/engine.h"
#include "headsim/initial_settings.h"
#include "pty_server.h"

namespace {

using kyr::headsim::FaultKind;

constexpr const char* kDescription =
    "Serves a simulated KYR-TC head unit on a pseudo-terminal whose slave side PATH\n"
    "links to, until interrupted (SIGINT or SIGTERM); the link is removed on exit.";

constexpr const char* kUsageLine =
    "usage: kyr-headsim --link PATH [--heads N] [--model M] [--settings-version V]\n"
    "                   [--settings FILE.kdta] [--baud B] [--faults SEED:PERMILLE]\n"
    "                   [--fault KIND:N[:MS]]...\n"
    "(see kyr-headsim --help)\n";

std::atomic<bool> g_stop{false};

void OnSignal(int) {
  g_stop.store(true);
}

struct Options {
  std::string link;
  long heads = 1;
  std::optional<long> model;
  std::optional<long> version;
  std::string settings_file;
  long baud = 0;
  std::string faults_text;
  std::optional<std::pair<long, long>> faults;
  std::vector<std::string> fault_texts;
  std::vector<kyr::headsim::FaultRule> fault_rules;
  std::string lang;
  bool print_version = false;
};

// The named faults of --fault, with their default delays.
struct NamedFault {
  const char* name;
  FaultKind kind;
  long default_delay_ms;
};
constexpr NamedFault kNamedFaults[] = {
    {"late", FaultKind::kLateReply, 3500},
    {"twice", FaultKind::kDuplicateReply, 20},
    {"stray", FaultKind::kStrayBytes, 20},
    {"pieces", FaultKind::kSplitReply, 1500},
};

// The colon-separated fields of an option's value.
std::vector<std::string> Fields(const std::string& text) {
  std::vector<std::string> fields;
  for (std::size_t start = 0;;) {
    const std::size_t colon = text.find(':', start);
    fields.push_back(text.substr(start, colon - start));
    if (colon == std::string::npos) return fields;
    start = colon + 1;
  }
}

// Field `index` as a whole decimal number from `low` to `high`; an absent field keeps
// `value` when it may be left out.
bool ParseField(const std::vector<std::string>& fields, std::size_t index, long low, long high,
                long& value, bool optional = false) {
  if (index >= fields.size()) return optional;
  const std::string& text = fields[index];
  if (text.empty() || text[0] < '0' || text[0] > '9') return false;
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
  value = parsed;
  return true;
}

// SEED:PERMILLE, the seed a 32-bit number and the share 0 to 1000; empty when it is good.
std::string ParseFaults(const std::string& text, std::optional<std::pair<long, long>>& faults) {
  const std::vector<std::string> fields = Fields(text);
  long seed = 0, per_mille = 0;
  if (fields.size() != 2 || !ParseField(fields, 0, 0, 4294967295L, seed) ||
      !ParseField(fields, 1, 0, 1000, per_mille)) {
    return "--faults needs SEED:PERMILLE (per mille 0 to 1000)";
  }
  faults = std::make_pair(seed, per_mille);
  return {};
}

// KIND:N[:MS] into a rule that fires once, on the N-th reply; empty when it is good.
std::string ParseFaultRule(const std::string& text, std::vector<kyr::headsim::FaultRule>& rules) {
  const std::vector<std::string> fields = Fields(text);
  const auto named = std::find_if(std::begin(kNamedFaults), std::end(kNamedFaults),
                                  [&](const NamedFault& f) { return fields[0] == f.name; });
  long reply = 0;
  long delay = named != std::end(kNamedFaults) ? named->default_delay_ms : 0;
  if (named == std::end(kNamedFaults) || fields.size() > 3 ||
      !ParseField(fields, 1, 1, 100000000, reply) ||
      !ParseField(fields, 2, 0, 600000, delay, /*optional=*/true)) {
    return "--fault needs KIND:N[:MS], KIND one of late, twice, stray, pieces";
  }
  kyr::headsim::FaultRule rule;
  rule.kind = named->kind;
  rule.skip = static_cast<int>(reply - 1);
  rule.delay_ms = delay;
  rules.push_back(rule);
  return {};
}

// The settings version was once given as "--version V"; that spelling still works, with a
// warning, and "--version" alone prints the program's version.
std::vector<std::string> ReplaceOldVersionSpelling(std::vector<std::string> args) {
  for (std::size_t i = 0; i + 1 < args.size(); ++i) {
    const std::string& next = args[i + 1];
    if (args[i] == "--version" && !next.empty() && next[0] >= '0' && next[0] <= '9') {
      std::fputs("kyr-headsim: --version V is now --settings-version V\n", stderr);
      args[i] = "--settings-version";
    }
  }
  return args;
}

void BuildParser(CLI::App& app, Options& options) {
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  app.add_option("--link", options.link, "symbolic link to create (an existing link is replaced)")
      ->type_name("PATH")
      ->check([](const std::string& path) { return path.empty() ? "needs a path" : ""; });
  app.add_option("--heads", options.heads, "connected heads (default 1)")
      ->type_name("N")
      ->check(CLI::Range(1, 3));
  app.add_option("--model", options.model, "model code of the version word (default 1)")
      ->type_name("M")
      ->check(CLI::Range(0, 255));
  app.add_option("--settings-version", options.version,
                 "settings version of the version word (default 3)")
      ->type_name("V")
      ->check(CLI::Range(0, 255));
  app.add_option("--settings", options.settings_file,
                 "settings memory from a settings file instead of initial values; --model and\n"
                 "--settings-version, when given, replace its version word")
      ->type_name("FILE.kdta");
  app.add_option("--baud", options.baud,
                 "pace the line both ways at B bits per second (10 bits a byte)")
      ->type_name("B")
      ->check(CLI::Range(1, 100000000));
  app.add_option("--faults", options.faults_text,
                 "answer PM replies in a thousand wrongly (bad checksum, NAK, short, missing or\n"
                 "late), drawn from SEED")
      ->type_name("SEED:PM");
  app.add_option("--fault", options.fault_texts,
                 "spoil the N-th reply (1 is the first) in one way, MS milliseconds long:\n"
                 "late (sent MS late, default 3500), twice (sent again MS later, default 20),\n"
                 "stray (noise bytes MS after it, default 20), pieces (its second half MS\n"
                 "after the first, default 1500); may be given more than once")
      ->type_name("KIND:N[:MS]")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  app.add_option("--lang", options.lang, "accepted for uniformity; messages are in English")
      ->type_name("en|ja")
      ->check(CLI::IsMember({"en", "ja"}));
  app.add_flag("--version", options.print_version, "print the program's version");
}

// Returns 0 when the options are good, -1 after --help, else the exit status (2) after a
// message.
int ParseOptions(int argc, char** argv, Options& options) {
  CLI::App app{kDescription, "kyr-headsim"};
  BuildParser(app, options);
  std::vector<std::string> args = ReplaceOldVersionSpelling({argv + 1, argv + argc});
  std::reverse(args.begin(), args.end());
  std::string error;
  try {
    app.parse(args);
  } catch (const CLI::CallForHelp&) {
    std::fputs(app.help().c_str(), stdout);
    return -1;
  } catch (const CLI::ParseError& parse_error) {
    error = parse_error.what();
  }
  if (error.empty() && !options.faults_text.empty())
    error = ParseFaults(options.faults_text, options.faults);
  for (const std::string& text : options.fault_texts) {
    if (error.empty()) error = ParseFaultRule(text, options.fault_rules);
  }
  if (error.empty() && !options.print_version && options.link.empty()) {
    error = "--link PATH is required";
  }
  if (error.empty()) return 0;
  std::fprintf(stderr, "kyr-headsim: %s\n%s", error.c_str(), kUsageLine);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (const int status = ParseOptions(argc, argv, options); status != 0) {
    return status < 0 ? 0 : status;
  }
  if (options.print_version) {
    std::printf("kyr-headsim %s\n", KYR_VERSION);
    return 0;
  }

  kyr::headsim::EngineOptions engine_options;
  engine_options.heads = static_cast<int>(options.heads);
  engine_options.model = static_cast<std::uint8_t>(options.model.value_or(1));
  engine_options.version = static_cast<std::uint8_t>(options.version.value_or(3));
  if (!options.settings_file.empty()) {
    kyr::headsim::SettingsWords words{};
    std::string error;
    if (!kyr::headsim::LoadSettingsFile(options.settings_file, words, error)) {
      std::fprintf(stderr, "kyr-headsim: %s\n", error.c_str());
      return 1;
    }
    engine_options.settings = words;
    engine_options.override_version = options.model.has_value() || options.version.has_value();
    if (!options.model)
      engine_options.model = static_cast<std::uint8_t>(words[kyr::headsim::kVersionWord] & 0xFF);
    if (!options.version)
      engine_options.version = static_cast<std::uint8_t>(words[kyr::headsim::kVersionWord] >> 8);
  }

  kyr::headsim::SteadyClock clock;
  kyr::headsim::Engine engine(engine_options, clock);
  if (options.faults) {
    engine.Faults().SetRandom(static_cast<std::uint32_t>(options.faults->first),
                              static_cast<int>(options.faults->second),
                              {FaultKind::kBadChecksum, FaultKind::kNak, FaultKind::kShortReply,
                               FaultKind::kMissingReply, FaultKind::kLateReply});
  }
  for (const kyr::headsim::FaultRule& rule : options.fault_rules) engine.Faults().Add(rule);

  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  kyr::headsim::PtyServerOptions server_options{options.link, options.baud};
  const int status = kyr::headsim::ServeOnPty(engine, clock, server_options, g_stop);
  const kyr::headsim::EngineStats& stats = engine.Stats();
  std::printf(
      "kyr-headsim: %d handshakes, %d commands, %d refused frames, %d closing frames, "
      "%d monitor requests\n",
      stats.handshakes, stats.commands, stats.naks, stats.closes, stats.monitor_requests);
  return status;
}
