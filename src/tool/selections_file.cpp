#include "tool/selections_file.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "files/atomic_file.h"

namespace kyr::tool {
namespace {

// A number line is read from at most this many characters.
constexpr std::size_t kNumberLineChars = 9;
// The port text kept: a device path, not a whole file.
constexpr std::size_t kMaxPortChars = 4095;

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

// Decimal number at the start of the line after blanks, as the C library reads it; 0 when
// there is none. Only the first characters of the line count.
long LeadingNumber(std::string_view line) {
  line = line.substr(0, kNumberLineChars);
  std::size_t at = 0;
  while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
  bool negative = false;
  if (at < line.size() && (line[at] == '+' || line[at] == '-')) negative = line[at++] == '-';
  long value = 0;
  for (; at < line.size() && line[at] >= '0' && line[at] <= '9'; ++at) {
    value = value * 10 + (line[at] - '0');
  }
  return negative ? -value : value;
}

int IndexFromLine(const std::vector<std::string_view>& lines, std::size_t line, int entries) {
  if (line >= lines.size()) return 0;
  const long value = LeadingNumber(lines[line]);
  return value >= 0 && value < entries ? static_cast<int>(value) : 0;
}

std::string AbsoluteFolderFrom(const char* variable) {
  const char* value = std::getenv(variable);
  if (value == nullptr || value[0] != '/') return {};
  return value;
}

}  // namespace

Selections ParseSelections(std::string_view text) {
  const std::vector<std::string_view> lines = SplitLines(text);
  Selections selections;
  selections.head = IndexFromLine(lines, 0, kHeadEntries);
  selections.image_type = IndexFromLine(lines, 1, kImageTypeEntries);
  if (lines.size() > 2 && !lines[2].empty()) {
    selections.port = std::string(lines[2].substr(0, kMaxPortChars));
  }
  return selections;
}

std::string FormatSelections(const Selections& selections) {
  std::string text =
      std::to_string(selections.head) + "\r\n" + std::to_string(selections.image_type) + "\r\n";
  if (selections.port) {
    // A line break inside the text would split it over two lines of the file.
    const std::string& port = *selections.port;
    text += port.substr(0, std::min(port.find_first_of("\r\n"), kMaxPortChars));
  }
  return text;
}

std::string SelectionsFilePath() {
  std::string folder = AbsoluteFolderFrom("XDG_CONFIG_HOME");
  if (folder.empty()) {
    const std::string home = AbsoluteFolderFrom("HOME");
    if (home.empty()) return {};
    folder = home + "/.config";
  }
  return folder + "/ridgemo/ridgemo.ini";
}

Selections ReadSelectionsFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return ParseSelections(text);
}

bool WriteSelectionsFile(const std::string& path, const Selections& selections) {
  if (path.empty()) return false;
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (!folder.empty()) std::filesystem::create_directories(folder, error);
  return files::WriteFileAtomically(path, FormatSelections(selections));
}

Selections SelectionsForSimulatedHead(const Selections& remembered) {
  Selections simulated;
  simulated.image_type = remembered.image_type;
  return simulated;  // no port text: the box stays on "USB"
}

}  // namespace kyr::tool
