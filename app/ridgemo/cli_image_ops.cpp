// Image transfer commands of the command line: read-images and write-images.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli.h"
#include "cli_head.h"
#include "files/atomic_file.h"
#include "images/image_names.h"
#include "images/ops/image_ops.h"
#include "images/ops/image_types.h"
#include "images/ops/services.h"
#include "images/raw_image.h"
#include "tool/messages.h"

namespace kyr::ridgemo {
namespace {

using images::ImageTypeInfo;
using SourceImages = std::vector<std::unique_ptr<images::RawImage>>;

// The Image Type box entries by their command-line names.
constexpr std::string_view kTypeNames[] = {"bank", "memory", "shoot", "ng"};

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

// The file of each chosen image, as Read Image names them from OUT.kimg.
std::vector<std::string> ImageFileNames(const std::string& path, const ImageTypeInfo& info,
                                        std::uint64_t selection, const images::ImagesFound& found) {
  std::vector<std::string> names(static_cast<std::size_t>(info.count));
  std::string name = path;
  for (int number = 0; number < info.count; ++number) {
    if (((selection >> number) & 1) == 0) continue;
    images::MakeImageFileName(name, info.type, number, found.ng.ring_position, found.ng.records,
                              images::LanguageMark());
    names[static_cast<std::size_t>(number)] = name;
  }
  return names;
}

// One question at most: the first chosen image whose file exists asks; Yes replaces that file
// and all later ones.
bool MayReplace(CommandContext& ctx, const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    if (!name.empty() && files::CanOpenForReading(name)) {
      return ctx.host.ShowMessage(tool::WarningQuestion(ToolText::kFileExists)) ==
             tool::Answer::Yes;
    }
  }
  return true;
}

// kFailed: an exchange failed (its message tells of the link); kStopped: a file could not be
// written.
enum class Transfer { kDone, kFailed, kStopped, kAborted };

// Reads image `number` into the file `name`, which appears only once all of the image arrived;
// a failure or abort leaves no part of it.
Transfer ReadIntoFile(CommandContext& ctx, HeadCommand& command, const ImageTypeInfo& info,
                      int head, int number, const std::string& name, images::RawImage& image) {
  files::AtomicFileWriter file(name);
  if (!file.Open()) {
    ctx.host.ShowMessage(tool::CannotWriteBox(name));
    return Transfer::kStopped;
  }
  const images::ImageResult read =
      images::ReadImage(command.link(), head, info.type, number, image, command.Hooks());
  if (read == images::ImageResult::kAborted) return Transfer::kAborted;
  if (read != images::ImageResult::kDone) {
    ctx.host.ShowMessage(images::ImageFailureBox(read));
    return Transfer::kFailed;
  }
  auto bytes = std::make_unique<std::array<std::uint8_t, images::kImageFileBytes>>();
  images::EncodeImageFile(image, *bytes);
  if (!file.Append({reinterpret_cast<const char*>(bytes->data()), bytes->size()}) ||
      !file.Commit()) {
    ctx.host.ShowMessage(tool::CannotWriteBox(name));
    return Transfer::kStopped;
  }
  return Transfer::kDone;
}

// Which images of the type the head holds, asked on a link of its own; nullopt after the
// message. The first head is always there; another one is asked for.
std::optional<images::ImagesFound> FindHeadImages(CommandContext& ctx, HeadCommand& command,
                                                  const ImageTypeInfo& info, int head) {
  if (!command.Open(head != 0 ? std::optional<int>(head) : std::nullopt)) return std::nullopt;
  images::ImagesFound found;
  const images::ImageResult presence = images::FindImages(command.link(), head, info.type, found);
  if (presence != images::ImageResult::kDone) {
    ctx.host.ShowMessage(images::ImageFailureBox(presence));
    // A failed presence phase leaves the head without the closing frame.
    command.Close(false, false);
    return std::nullopt;
  }
  command.Close(true);
  return found;
}

// Reads every image that has a name into its file, in order; `kept` gets those read whole.
Transfer ReadImagesIntoFiles(CommandContext& ctx, HeadCommand& command, const ImageTypeInfo& info,
                             int head, const std::vector<std::string>& names,
                             std::vector<int>& kept) {
  auto image = std::make_unique<images::RawImage>();
  for (int number = 0; number < info.count; ++number) {
    const std::string& name = names[static_cast<std::size_t>(number)];
    if (name.empty()) continue;
    const Transfer result = ReadIntoFile(ctx, command, info, head, number, name, *image);
    if (result != Transfer::kDone) return result;
    kept.push_back(number);
  }
  return Transfer::kDone;
}

// Writes every source into its image; `written` gets the images stored whole.
Transfer WriteSources(CommandContext& ctx, HeadCommand& command, const ImageTypeInfo& info,
                      const std::vector<int>& numbers, const SourceImages& sources,
                      std::vector<int>& written) {
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    const images::ImageResult stored = images::WriteImage(
        command.link(), ctx.options.head - 1, info.type, numbers[i], *sources[i], command.Hooks());
    if (stored == images::ImageResult::kAborted) return Transfer::kAborted;
    if (stored != images::ImageResult::kDone) {
      ctx.host.ShowMessage(images::ImageFailureBox(stored));
      return Transfer::kFailed;
    }
    written.push_back(numbers[i]);
  }
  return Transfer::kDone;
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
  const ImageTypeInfo& info = images::ImageTypeOf(*type);
  std::optional<std::uint64_t> chosen;
  if (only) {
    chosen = ParseImageList(*only, info.count);
    if (!chosen) {
      ctx.err << "ridgemo: --only takes image numbers 0 to " << info.count - 1
              << ", separated by commas\n";
      return kExitUsage;
    }
  }
  // NG images always come from the first head.
  const int head = images::FromTargetHead(info) ? ctx.options.head - 1 : 0;
  HeadCommand command(ctx);
  const auto finish = [&](bool done, bool aborted = false) {
    return command.ExitStatus(done, aborted, ToolText::kReadInterrupted);
  };
  ctx.host.SetProgressRange(0, images::kBlocksPerImage);
  ctx.host.SetProgressPosition(0);
  const std::optional<images::ImagesFound> found = FindHeadImages(ctx, command, info, head);
  if (!found) return finish(false);
  // --only stands for the boxes ticked in the selection dialog.
  const std::uint64_t selection =
      chosen ? images::MaskAfterGo(info, found->mask, *chosen) : found->mask;
  const std::vector<std::string> names = ImageFileNames(args[0], info, selection, *found);
  if (!MayReplace(ctx, names)) return finish(false);
  if (!command.Open(std::nullopt)) return finish(false);
  std::vector<int> kept;
  const Transfer result = ReadImagesIntoFiles(ctx, command, info, head, names, kept);
  if (result == Transfer::kAborted) ctx.host.ShowMessage(images::ReadAbortBox(*type, kept));
  // The transfer always ends with the closing frame, also after a failed block or an abort,
  // so that the head knows the exchange is over.
  // A closing frame that cannot be written is not reported after a failed exchange: after a
  // dropped link it would only repeat that message.
  command.Close(true, result != Transfer::kFailed);
  if (result == Transfer::kDone)
    ctx.host.ShowMessage(tool::FinishBox(ToolText::kImageReadComplete));
  return finish(result == Transfer::kDone, result == Transfer::kAborted);
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
  const ImageTypeInfo& info = images::ImageTypeOf(*type);
  std::optional<int> number;
  if (number_text) {
    number = ParseNumber(*number_text);
    if (!number || *number >= info.count || args.size() > 1) {
      ctx.err << "ridgemo: --number takes one image number 0 to " << info.count - 1
              << ", for a single file\n";
      return kExitUsage;
    }
  } else if (args.size() == 1 && !images::NumberInFileName(args[0])) {
    ctx.err << "ridgemo: " << args[0] << " carries no image number (NAME.NN.kimg); give --number\n";
    return kExitUsage;
  }
  HeadCommand command(ctx);
  const auto finish = [&](bool done, bool aborted = false) {
    return command.ExitStatus(done, aborted, ToolText::kWriteInterrupted);
  };
  ctx.host.SetProgressRange(0, images::kBlocksPerImage);
  ctx.host.SetProgressPosition(0);
  if (info.type != images::ImageType::Bank && info.type != images::ImageType::Memory) {
    ctx.host.ShowMessage(tool::ErrorBox(ToolText::kOnlyBankAndMemory));
    return finish(false);
  }
  if (!images::ImageNamesAreUsable(ctx.host, info, args)) return finish(false);
  // The image each file goes to: --number, else the number its name carries, which must be
  // one of the type's.
  std::vector<int> numbers;
  for (const std::string& path : args)
    numbers.push_back(number.value_or(images::NumberInFileName(path).value_or(0)));
  if (numbers.front() >= info.count) {
    ctx.host.ShowMessage(tool::ErrorBox(ToolText::kNumberTooLarge));
    return finish(false);
  }
  // Every source is read before the question, so that a file that cannot be used stops the
  // command before the head was sent anything.
  if (!images::ImageFilesAreWhole(ctx.host, args)) return finish(false);
  SourceImages sources;
  for (const std::string& path : args) {
    sources.push_back(std::make_unique<images::RawImage>());
    if (!images::ReadImageSource(ctx.host, path, *sources.back())) return finish(false);
  }
  if (ctx.host.ShowMessage(images::WriteImagesQuestion(*type, args.front(), numbers)) !=
      tool::Answer::Yes) {
    return finish(false);
  }
  if (!command.Open(ctx.options.head - 1)) return finish(false);
  std::vector<int> written;
  const Transfer result = WriteSources(ctx, command, info, numbers, sources, written);
  if (result == Transfer::kAborted) {
    ctx.host.ShowMessage(images::WriteAbortBox(*type, written, numbers[written.size()]));
  }
  // Once the transfer ran, the head is told it ended, also after a failed block or an abort.
  // A closing frame that cannot be written is not reported after a failed exchange: after a
  // dropped link it would only repeat that message.
  command.Close(true, result != Transfer::kFailed);
  if (result == Transfer::kDone)
    ctx.host.ShowMessage(tool::FinishBox(ToolText::kImageWriteComplete));
  return finish(result == Transfer::kDone, result == Transfer::kAborted);
}

}  // namespace kyr::ridgemo
