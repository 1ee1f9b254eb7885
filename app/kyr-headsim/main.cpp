// kyr-headsim: a simulated KYR-TC head unit on a pseudo-terminal, for demonstrations and
// for testing the communication tool without hardware.
#include <signal.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "headsim/engine.h"
#include "headsim/initial_settings.h"
#include "pty_server.h"

namespace {

using kyr::headsim::FaultKind;

constexpr const char* kUsage =
    "Usage: kyr-headsim --link PATH [--heads N] [--model M] [--version V]\n"
    "                   [--settings FILE.kdta] [--baud B] [--faults SEED:PERMILLE]\n"
    "                   [--fault KIND:N[:MS]]...\n"
    "       kyr-headsim --help | --version\n"
    "\n"
    "Serves a simulated KYR-TC head unit on a pseudo-terminal whose slave side PATH\n"
    "links to, until interrupted (SIGINT or SIGTERM); the link is removed on exit.\n"
    "  --link PATH          symbolic link to create (an existing link is replaced)\n"
    "  --heads N            connected heads, 1 to 3 (default 1)\n"
    "  --model M            model code of the version word, 0 to 255 (default 1)\n"
    "  --version V          settings version of the version word, 0 to 255 (default 3)\n"
    "  --settings FILE      settings memory from a settings file instead of initial values;\n"
    "                       --model and --version, when given, replace its version word\n"
    "  --baud B             pace the line both ways at B bits per second (10 bits a byte)\n"
    "  --faults SEED:PM     answer PM replies in a thousand wrongly (bad checksum, NAK,\n"
    "                       short, missing or late), drawn from SEED\n"
    "  --fault KIND:N[:MS]  spoil the N-th reply (1 is the first) in one way, MS milliseconds\n"
    "                       long: late (sent MS late, default 3500), twice (sent again MS\n"
    "                       later, default 20), stray (noise bytes MS after it, default 20),\n"
    "                       pieces (its second half MS after the first, default 1500);\n"
    "                       may be given more than once\n"
    "  --lang en|ja         accepted for uniformity; messages are in English\n"
    "With --version and no value the program's version is printed.\n";

std::atomic<bool> g_stop{false};

void OnSignal(int) {
  g_stop.store(true);
}

bool ParseNumber(std::string_view text, long low, long high, long& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const std::string copy(text);
  errno = 0;
  const long parsed = std::strtol(copy.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
  value = parsed;
  return true;
}

bool LooksLikeNumber(const char* text) {
  return text != nullptr && text[0] >= '0' && text[0] <= '9';
}

struct Options {
  std::string link;
  long heads = 1;
  std::optional<long> model;
  std::optional<long> version;
  std::string settings_file;
  long baud = 0;
  std::optional<std::pair<long, long>> faults;
  std::vector<kyr::headsim::FaultRule> fault_rules;
  bool help = false;
  bool print_version = false;
};

// The named faults of --fault, with their default delays.
struct NamedFault {
  std::string_view name;
  FaultKind kind;
  long default_delay_ms;
};
constexpr std::array<NamedFault, 4> kNamedFaults{{
    {"late", FaultKind::kLateReply, 3500},
    {"twice", FaultKind::kDuplicateReply, 20},
    {"stray", FaultKind::kStrayBytes, 20},
    {"pieces", FaultKind::kSplitReply, 1500},
}};

// KIND:N[:MS] into a rule that fires once, on the N-th reply.
std::optional<kyr::headsim::FaultRule> ParseFaultRule(std::string_view text) {
  const std::size_t first = text.find(':');
  if (first == std::string_view::npos) return std::nullopt;
  const std::string_view name = text.substr(0, first);
  std::string_view rest = text.substr(first + 1);
  const std::size_t second = rest.find(':');
  const std::string_view count_text = rest.substr(0, second);
  for (const NamedFault& named : kNamedFaults) {
    if (named.name != name) continue;
    long reply = 0, delay = named.default_delay_ms;
    if (!ParseNumber(count_text, 1, 100000000, reply)) return std::nullopt;
    if (second != std::string_view::npos && !ParseNumber(rest.substr(second + 1), 0, 600000, delay))
      return std::nullopt;
    kyr::headsim::FaultRule rule;
    rule.kind = named.kind;
    rule.skip = static_cast<int>(reply - 1);
    rule.delay_ms = delay;
    return rule;
  }
  return std::nullopt;
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "kyr-headsim: %s\n%s", message.c_str(), kUsage);
  return 2;
}

// Returns 0 when the options are good, else the exit status (2) after a message.
int ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
    auto need_value = [&]() -> const char* {
      if (next == nullptr) return nullptr;
      ++i;
      return next;
    };
    long value = 0;
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--version" && !LooksLikeNumber(next)) {
      options.print_version = true;
    } else if (arg == "--link") {
      const char* v = need_value();
      if (v == nullptr || *v == '\0') return UsageError("--link needs a path");
      options.link = v;
    } else if (arg == "--heads" || arg == "--model" || arg == "--version" || arg == "--baud") {
      const char* v = need_value();
      const long high = arg == "--heads" ? 3 : arg == "--baud" ? 100000000 : 255;
      const long low = arg == "--heads" || arg == "--baud" ? 1 : 0;
      if (v == nullptr || !ParseNumber(v, low, high, value)) {
        return UsageError(std::string(arg) + " needs a number from " + std::to_string(low) +
                          " to " + std::to_string(high));
      }
      if (arg == "--heads") options.heads = value;
      if (arg == "--model") options.model = value;
      if (arg == "--version") options.version = value;
      if (arg == "--baud") options.baud = value;
    } else if (arg == "--settings") {
      const char* v = need_value();
      if (v == nullptr) return UsageError("--settings needs a file");
      options.settings_file = v;
    } else if (arg == "--faults") {
      const char* v = need_value();
      const char* colon = v != nullptr ? std::strchr(v, ':') : nullptr;
      long seed = 0, per_mille = 0;
      if (colon == nullptr ||
          !ParseNumber(std::string_view(v, static_cast<std::size_t>(colon - v)), 0, 4294967295L,
                       seed) ||
          !ParseNumber(colon + 1, 0, 1000, per_mille)) {
        return UsageError("--faults needs SEED:PERMILLE (per mille 0 to 1000)");
      }
      options.faults = std::make_pair(seed, per_mille);
    } else if (arg == "--fault") {
      const char* v = need_value();
      const auto rule = v != nullptr ? ParseFaultRule(v) : std::nullopt;
      if (!rule) {
        return UsageError("--fault needs KIND:N[:MS], KIND one of late, twice, stray, pieces");
      }
      options.fault_rules.push_back(*rule);
    } else if (arg == "--lang") {
      const char* v = need_value();
      if (v == nullptr || (std::string_view(v) != "en" && std::string_view(v) != "ja")) {
        return UsageError("--lang needs en or ja");
      }
    } else {
      return UsageError("unknown argument " + std::string(arg));
    }
  }
  if (!options.help && !options.print_version && options.link.empty()) {
    return UsageError("--link PATH is required");
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (const int status = ParseOptions(argc, argv, options); status != 0) return status;
  if (options.help) {
    std::fputs(kUsage, stdout);
    return 0;
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
