#include "backup/verify.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "images/ops/image_ops.h"

namespace kyr::backup::detail {

namespace fs = std::filesystem;

bool VerifyImages(RestoreJob& job, OperationHost& host, int head, int type,
                  const std::vector<const FileEntry*>& files, const std::string& dir,
                  std::string& problem) {
  std::string scratch = (fs::temp_directory_path() / "kyr-verify-XXXXXX").string();
  if (::mkdtemp(scratch.data()) == nullptr) return false;
  struct Remove {
    std::string path;
    ~Remove() {
      std::error_code error;
      fs::remove_all(path, error);
    }
  } remove{scratch};
  std::uint64_t mask = 0;
  for (const FileEntry* file : files) mask |= 1ULL << file->number;
  host.save_path = scratch + "/" + std::string(KindOfType(type)) + ".kimg";
  host.selection = mask;
  auto state = std::make_unique<images::ImageState>();
  images::ImageOpsContext ctx{host, job.link, *state, job.port, head - 1, type};
  if (images::ReadImages(ctx) != images::Outcome::kDone) return false;
  for (const FileEntry* file : files) {
    std::ifstream wanted_in(dir + "/" + file->name, std::ios::binary);
    std::ifstream got_in(ImagePath(scratch, type, file->number), std::ios::binary);
    const std::string wanted{std::istreambuf_iterator<char>(wanted_in), {}};
    const std::string got{std::istreambuf_iterator<char>(got_in), {}};
    if (wanted == got) continue;
    const auto mismatch = std::mismatch(wanted.begin(), wanted.end(), got.begin(), got.end());
    problem = Text(ToolText::kImageDiffers,
                   {std::to_string(head), KindWord(type, job.lang), std::to_string(file->number),
                    std::to_string(mismatch.first - wanted.begin())},
                   job.lang);
    return false;
  }
  return true;
}

}  // namespace kyr::backup::detail
