// The backup manifest reader on arbitrary text: what it accepts names only files inside the
// backup folder and survives being written and read again unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "backup/record.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kyr::backup;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string problem;
  const auto manifest = ParseManifest(text, problem);
  if (!manifest) return 0;
  for (const HeadEntry& head : manifest->heads) {
    if (head.head < 1 || head.head > 3) std::abort();
    for (const FileEntry& file : head.files) {
      if (file.name.empty() || file.name.front() == '/' ||
          file.name.find("..") != std::string::npos)
        std::abort();
    }
  }
  const std::string written = ManifestText(*manifest);
  const auto again = ParseManifest(written, problem);
  if (!again || ManifestText(*again) != written) std::abort();
  return 0;
}
