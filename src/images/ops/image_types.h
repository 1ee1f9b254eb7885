#pragma once
// The image types of the Image Type box as the transfers address them: counts, units,
// block commands, selection dialogs and the image numbers carried by file names.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "images/image_names.h"
#include "link/protocol.h"
#include "strings/strings.h"
#include "tool/tool_host.h"

namespace kyr::images {

inline constexpr int kBlocksPerImage = 512;
inline constexpr int kWordsPerBlock = 128;

struct ImageTypeInfo {
  ImageType type;
  int count;                 // images of this type, numbered 0 to count - 1
  int first_unit;            // image k lies at unit first_unit + 2 k
  int end_unit;              // units stop before this one
  link::ImageSource source;  // which block read command reads it
  bool word_addressed;       // block n lies 128 n addresses on, not 256 n (taken images)
  int replies_per_request;   // blocks asked for by one read command
  int dialog_id;
  ToolText title;  // the selection dialog's title
  int boxes;       // check boxes of the selection dialog
  int mask_words;  // 16-bit words of the selection mask the dialog's GO rewrites
};

// The row of an Image Type index; any index other than 0, 1, 2 is NG Save.
const ImageTypeInfo& ImageTypeOf(int type_index);

// NG images always come from the first head; the others from the target head.
constexpr bool FromTargetHead(const ImageTypeInfo& info) {
  return info.source != link::ImageSource::kNg;
}

// Unit of image `number` of the type.
int ImageUnit(const ImageTypeInfo& info, int number);

// Read command for `replies` blocks (1 to 32) from block `block` of the image at `unit`.
link::Command BlockReadCommand(const ImageTypeInfo& info, int head, int unit, int block,
                               int replies);

// Write command for block `block` of the image at `unit`; its 256-byte data frame follows.
link::Command BlockWriteCommand(int head, int unit, int block);

// The selection dialog of the type, titled in `lang`.
tool::ImageSelectionDialog SelectionDialogOf(const ImageTypeInfo& info, Lang lang);

// The mask after the dialog's GO: the words the dialog covers are rebuilt from the box
// states in `boxes` (bit k = box k), the others keep their bits from `before`.
std::uint64_t MaskAfterGo(const ImageTypeInfo& info, std::uint64_t before, std::uint64_t boxes);

// The image number a file name carries when it ends in a dot, two decimal digits and
// ".kimg" (bank.07.kimg carries 7), as the read command names its files.
std::optional<int> NumberInFileName(const std::string& name);

// "Bank No.3, No.9": images of Image Type `type_index` as the messages name them.
std::string ImageListText(int type_index, const std::vector<int>& numbers, Lang lang);

}  // namespace kyr::images
