// The image file loader and the bitmap file reader, through real files: the loaders that
// read a file must agree with the parsers that take the same bytes from memory, and a
// failed load must leave the canvas black.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>

#include "images/bitmap.h"
#include "images/canvas.h"
#include "images/raw_image.h"

namespace {

// One in-memory file for the whole run, rewritten for every input.
struct MemoryFile {
  int fd = memfd_create("kyr-fuzz-image", 0);
  std::string path = "/proc/self/fd/" + std::to_string(fd);

  void Set(const std::uint8_t* data, std::size_t size) const {
    if (ftruncate(fd, 0) != 0) std::abort();
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
      if (n <= 0) std::abort();
      done += static_cast<std::size_t>(n);
    }
  }
};

bool CanvasIsBlack(const kyr::images::Canvas& canvas) {
  return std::all_of(canvas.bytes.begin(), canvas.bytes.end(),
                     [](std::uint8_t b) { return b == 0; });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kyr::images;
  static const MemoryFile file;
  static const auto from_memory = std::make_unique<RawImage>();
  static const auto from_file = std::make_unique<RawImage>();
  static const auto canvas = std::make_unique<Canvas>();
  file.Set(data, size);

  const std::span<const std::uint8_t> bytes(data, size);
  const ImageFileResult parsed = ParseImageFile(bytes, *from_memory);
  canvas->bytes.fill(0xEE);
  const ImageFileResult loaded = LoadImageFile(file.path, *from_file, *canvas);
  if (parsed != loaded) std::abort();
  if (loaded == ImageFileResult::kOk) {
    if (from_file->words != from_memory->words) std::abort();
  } else if (!CanvasIsBlack(*canvas)) {
    std::abort();
  }

  // The same bytes taken for a bitmap: the streaming reader agrees with the in-memory one.
  from_memory->words.fill(0);
  from_file->words.fill(0);
  const ImageFileResult converted = BitmapToRawImage(bytes, *from_memory);
  const ImageFileResult read = ReadBitmapFile(file.path, *from_file);
  if (converted != read) std::abort();
  if (read == ImageFileResult::kOk && from_file->words != from_memory->words) std::abort();
  return 0;
}
