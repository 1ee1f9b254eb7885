#pragma once
// Layout of the generated string tables (see strgen.cpp).
#include <cstddef>

namespace kyr::strings_detail {

struct Entry {
  int id;
  const char* name;  // as in the table, without the enumerator's "k"
  const char* en;
  const char* ja;
};

extern const Entry kEditorEntries[];
extern const std::size_t kEditorCount;
extern const Entry kToolEntries[];
extern const std::size_t kToolCount;

}  // namespace kyr::strings_detail
