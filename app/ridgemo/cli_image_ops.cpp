// Image transfer commands of the command line: read-images and write-images.
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli.h"
#include "console_host.h"
#include "images/ops/image_ops.h"
#include "images/ops/image_types.h"
#include "interrupt_guard.h"
#include "link/link.h"
#include "strings/strings.h"

namespace kyr::ridgemo {
namespace {

// The Image Type box entries by their command-line names.
constexpr std::string_view kTypeNames[] = {"bank", "memory", "shoot", "ng"};

// The dialogs of the image commands answered from the command's arguments.
class ImageCommandHost : public ConsoleHost {
 public:
  using ConsoleHost::ConsoleHost;

  std::string save_path;
  std::vector<std::string> open_paths;
  std::optional<std::uint64_t> only;  // the images to read; none: those the head offers
  std::optional<int> number;          // the image number of a single-file write

  std::optional<std::string> AskSaveFile(const std::vector<userport::FileFilter>&,
                                         const std::string&) override {
    return save_path;
  }
  std::vector<std::string> AskOpenFiles(const std::vector<userport::FileFilter>&) override {
    return open_paths;
  }
  bool AskImageSelection(const tool::ImageSelectionDialog&, std::uint64_t& mask) override {
    if (only) mask = *only;
    return true;
  }
  bool AskImageNumber(int, int& chosen) override {
    if (number) chosen = *number;
    return true;
  }
};

// --type NAME as an Image Type index; nullopt when missing or unknown.
std::optional<int> TakeType(std::vector<std::string>& args, bool& missing) {
  const auto name = TakeOption(args, "--type", missing);
  if (!name) return std::nullopt;
  for (int index = 0; index < 4; ++index) {
    if (*name == kTypeNames[index]) return index;
  }
  return std::nullopt;
}

// "0,3,5" as a mask of image numbers below `count`; nullopt when the list is not one.
std::optional<std::uint64_t> ParseImageList(const std::string& text, int count) {
  std::uint64_t mask = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    const std::optional<int> number =
        ParseNumber(std::string_view(text).substr(start, comma - start));
    if (!number || *number >= count) return std::nullopt;
    mask |= 1ULL << *number;
    start = comma + 1;
  }
  return mask;
}

int ExitStatus(tool::Outcome result) {
  return result == images::Outcome::kDone ? kExitDone : kExitFailed;
}

// Runs an image operation on the head the global options name. Ctrl-C and SIGTERM stop it
// through the operation's abort check; `interrupted_text` then says what that left.
int RunOperation(CommandContext& ctx, ImageCommandHost& host, int type, ToolText interrupted_text,
                 tool::Outcome (*operation)(images::ImageOpsContext&)) {
  const InterruptGuard guard;
  link::LinkEnvironment environment = LinkEnvironmentFor(ctx.options);
  // The notes break this host's progress line, not the command line's own.
  if (environment.notes) environment.notes = [&host](std::string_view note) { host.Note(note); };
  link::Link link(std::move(environment));
  link.SetStopCheck([&host] { return host.AbortRequested(); });
  const LinkWatch watch(&host, link);
  auto state = std::make_unique<images::ImageState>();
  images::ImageOpsContext op{host, link, *state, ctx.options.port, ctx.options.head - 1, type};
  const tool::Outcome result = operation(op);
  // A signal inside an exchange can also end it as a failure.
  const bool interrupted = InterruptGuard::Interrupted() && result != images::Outcome::kDone;
  if (result == images::Outcome::kAborted || interrupted) {
    ctx.err << LoadString(interrupted_text) << '\n';
    return kExitFailed;
  }
  return ExitStatus(result);
}

}  // namespace

// read-images --type T OUT.kimg [--only LIST]: the chosen images of the head, each into
// OUT with its number (or NG record) put before ".kimg".
int RunReadImages(CommandContext& ctx) {
  std::vector<std::string>& args = ctx.args;
  bool missing = false;
  const std::optional<int> type = TakeType(args, missing);
  const std::optional<std::string> only = TakeOption(args, "--only", missing);
  if (!type || missing || args.size() != 1 || LooksLikeOption(args[0])) {
    return UsageError(ctx, "read-images");
  }
  if (!args[0].ends_with(".kimg")) {
    ctx.err << "ridgemo: the image file name must end in .kimg\n";
    return kExitUsage;
  }
  ImageCommandHost host(ctx.options.yes, ctx.out, ctx.err, ProgressModeOf(ctx.options));
  host.save_path = args[0];
  if (only) {
    host.only = ParseImageList(*only, images::ImageTypeOf(*type).count);
    if (!host.only) {
      ctx.err << "ridgemo: --only takes image numbers 0 to " << images::ImageTypeOf(*type).count - 1
              << ", separated by commas\n";
      return kExitUsage;
    }
  }
  return RunOperation(ctx, host, *type, ToolText::kReadInterrupted, images::ReadImages);
}

// write-images --type T FILE... [--number K]: one file into image K (or the number its name
// carries), several files each into the number its name carries.
int RunWriteImages(CommandContext& ctx) {
  std::vector<std::string>& args = ctx.args;
  bool missing = false;
  const std::optional<int> type = TakeType(args, missing);
  const std::optional<std::string> number_text = TakeOption(args, "--number", missing);
  if (!type || missing || args.empty()) return UsageError(ctx, "write-images");
  for (const std::string& arg : args) {
    if (LooksLikeOption(arg)) return UsageError(ctx, "write-images");
  }
  ImageCommandHost host(ctx.options.yes, ctx.out, ctx.err, ProgressModeOf(ctx.options));
  host.open_paths = args;
  if (number_text) {
    host.number = ParseNumber(*number_text);
    const int count = images::ImageTypeOf(*type).count;
    if (!host.number || *host.number >= count || args.size() > 1) {
      ctx.err << "ridgemo: --number takes one image number 0 to " << count - 1
              << ", for a single file\n";
      return kExitUsage;
    }
  } else if (args.size() == 1 && !images::NumberInFileName(args[0])) {
    ctx.err << "ridgemo: " << args[0] << " carries no image number (NAME.NN.kimg); give --number\n";
    return kExitUsage;
  }
  return RunOperation(ctx, host, *type, ToolText::kWriteInterrupted, images::WriteImages);
}

}  // namespace kyr::ridgemo
