// The tool's selections file reader on arbitrary text: indexes stay within their boxes, and
// what it reads survives being written and read again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "tool/selections_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kyr::tool;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const Selections read = ParseSelections(text);
  if (read.head < 0 || read.head >= kHeadEntries) std::abort();
  if (read.image_type < 0 || read.image_type >= kImageTypeEntries) std::abort();
  if (read.port && read.port->empty()) std::abort();
  const Selections again = ParseSelections(FormatSelections(read));
  if (again.head != read.head || again.image_type != read.image_type) std::abort();
  if (ParseSelections(FormatSelections(again)) != again) std::abort();
  return 0;
}
