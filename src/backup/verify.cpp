#include "backup/verify.h"

#include <memory>

#include "images/ops/image_types.h"
#include "images/ops/services.h"

namespace kyr::backup::detail {
namespace {

// The offset in the .kimg file of the first byte where `got` differs from `wanted`, or -1.
// A file holds each word low byte first.
long FirstDifference(const images::RawImage& wanted, const images::RawImage& got) {
  for (std::size_t word = 0; word < images::kRawWords; ++word) {
    const std::uint16_t a = wanted.words[word];
    const std::uint16_t b = got.words[word];
    if (a != b) return static_cast<long>(2 * word + ((a & 0xFF) == (b & 0xFF) ? 1 : 0));
  }
  return -1;
}

}  // namespace

bool VerifyImages(RestoreJob& job, HeadSession& session, int head, int type,
                  const std::vector<const FileEntry*>& files, const std::string& dir,
                  std::string& problem) {
  const images::ImageType image_type = images::ImageTypeOf(type).type;
  auto wanted = std::make_unique<images::RawImage>();
  auto got = std::make_unique<images::RawImage>();
  const tool::ServiceHooks hooks{nullptr, job.interrupted};
  for (const FileEntry* file : files) {
    if (!session.Transfer(
            images::ReadImage(job.link, head - 1, image_type, file->number, *got, hooks))) {
      return false;
    }
    // A backup file that cannot be read any more differs from its first byte.
    const bool readable =
        images::ReadImageFile(dir + "/" + file->name, *wanted) == images::ImageFileResult::kOk;
    const long offset = readable ? FirstDifference(*wanted, *got) : 0;
    if (offset < 0) continue;
    problem = Text(ToolText::kImageDiffers,
                   {std::to_string(head), KindWord(type, job.lang), std::to_string(file->number),
                    std::to_string(offset)},
                   job.lang);
    return false;
  }
  return true;
}

}  // namespace kyr::backup::detail
