#pragma once
// Test output names a text by its table name and number ("SettingsReadComplete (148)"), so a
// failed expectation on the messages shown reads as words.
#include <ostream>

#include "strings/strings.h"

namespace kyr {

inline void PrintTo(EditorText id, std::ostream* out) {
  *out << TextName(id) << " (" << TextNumber(id) << ")";
}
inline void PrintTo(ToolText id, std::ostream* out) {
  *out << TextName(id) << " (" << TextNumber(id) << ")";
}

}  // namespace kyr
