#pragma once
// The tool window's three remembered selections: Target Head, Image Type and the port box
// text, kept between runs in a small text file in the user's configuration folder.
//
// File: line 1 the Target Head index, line 2 the Image Type index, line 3 the port text
// without a line end. A missing or damaged file gives the defaults, never a message.
#include <optional>
#include <string>
#include <string_view>

namespace kyr::tool {

inline constexpr int kHeadEntries = 3;       // "1", "2", "3"
inline constexpr int kImageTypeEntries = 4;  // Bank, Memory, Shoot, NG Save

struct Selections {
  int head = 0;        // index 0 to 2
  int image_type = 0;  // index 0 to 3
  // The port box text; none leaves the box on "USB".
  std::optional<std::string> port;

  bool operator==(const Selections&) const = default;
};

// Reads the file's text: a number outside its box's range, or a missing line, gives 0; an
// empty or missing third line gives no port text.
Selections ParseSelections(std::string_view text);

// The file's text: "H\r\nT\r\nPORT" (the port text as it stands, no line end after it).
std::string FormatSelections(const Selections& selections);

// $XDG_CONFIG_HOME/ridgemo/ridgemo.ini, else $HOME/.config/ridgemo/ridgemo.ini; empty when
// neither variable names an absolute folder.
std::string SelectionsFilePath();

// The defaults when the file is missing or unreadable.
Selections ReadSelectionsFile(const std::string& path);

// What a session on the built-in simulated head starts from: its USB head unit and head 1,
// whatever port and head `remembered` holds; the image type is kept.
Selections SelectionsForSimulatedHead(const Selections& remembered);

// Creates the folder when needed and replaces the file only once the new text is complete.
// False when it cannot be written.
bool WriteSelectionsFile(const std::string& path, const Selections& selections);

}  // namespace kyr::tool
