#include "images/ops/image_types.h"

#include <algorithm>
#include <cctype>

namespace kyr::images {
namespace {

using link::ImageSource;

// Box index of the Image Type box: Bank, Memory, Shoot, NG Save.
constexpr std::array<ImageTypeInfo, 4> kImageTypes = {{
    {ImageType::Bank, 32, 16, 80, ImageSource::kBankOrMemory, false, 32, 136,
     ToolText::kBankSelTitle, 32, 2},
    {ImageType::Memory, 20, 80, 120, ImageSource::kBankOrMemory, false, 32, 135,
     ToolText::kMemSelTitle, 20, 2},
    {ImageType::Shoot, 6, 0, 12, ImageSource::kShot, true, 1, 138, ToolText::kShtSelTitle, 6, 1},
    {ImageType::Ng, 63, 2, 128, ImageSource::kNg, false, 32, 137, ToolText::kNgSelTitle, 63, 4},
}};

}  // namespace

const ImageTypeInfo& ImageTypeOf(int type_index) {
  return type_index >= 0 && type_index <= 2 ? kImageTypes[static_cast<std::size_t>(type_index)]
                                            : kImageTypes[3];
}

int ImageUnit(const ImageTypeInfo& info, int number) {
  return info.first_unit + 2 * number;
}

link::Command BlockReadCommand(const ImageTypeInfo& info, int head, int unit, int block,
                               int replies) {
  const std::uint32_t step = info.word_addressed ? 128u : 256u;
  const std::uint32_t address =
      (static_cast<std::uint32_t>(unit) << 16) + step * static_cast<std::uint32_t>(block);
  return link::ImageBlockReadCommand(info.source, head, address, replies);
}

link::Command BlockWriteCommand(int head, int unit, int block) {
  const std::uint32_t address =
      (static_cast<std::uint32_t>(unit) << 16) + 256u * static_cast<std::uint32_t>(block);
  return link::ImageBlockWriteCommand(head, address);
}

tool::ImageSelectionDialog SelectionDialogOf(const ImageTypeInfo& info, Lang lang) {
  return {info.dialog_id, std::string(LoadString(info.title, lang)), info.boxes};
}

std::uint64_t MaskAfterGo(const ImageTypeInfo& info, std::uint64_t before, std::uint64_t boxes) {
  const std::uint64_t covered = info.mask_words >= 4 ? ~0ULL : (1ULL << (16 * info.mask_words)) - 1;
  const std::uint64_t box_bits = info.boxes >= 64 ? ~0ULL : (1ULL << info.boxes) - 1;
  return (before & ~covered) | (boxes & box_bits);
}

std::optional<int> NumberInFileName(const std::string& name) {
  const std::size_t n = name.size();
  if (n < 8 || !name.ends_with(".kimg") || name[n - 8] != '.') return std::nullopt;
  const char tens = name[n - 7];
  const char ones = name[n - 6];
  if (!std::isdigit(static_cast<unsigned char>(tens)) ||
      !std::isdigit(static_cast<unsigned char>(ones))) {
    return std::nullopt;
  }
  return (tens - '0') * 10 + (ones - '0');
}

std::string ImageListText(int type_index, const std::vector<int>& numbers, Lang lang) {
  std::string line(ListItem(ToolText::kImageTypeList,
                            static_cast<unsigned>(std::clamp(type_index, 0, 3)), lang));
  for (std::size_t k = 0; k < numbers.size(); ++k) {
    line += (k == 0 ? " No." : ", No.") + std::to_string(numbers[k]);
  }
  return line;
}

}  // namespace kyr::images
