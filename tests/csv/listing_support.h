#pragma once
// Images and text helpers shared by the listing tests.
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "settings/initial_values.h"
#include "settings/settings_image.h"

namespace kyr::csv::testing {

using settings::SettingsImage;

inline std::uint16_t& Word(SettingsImage& image, int index) {
  return image[static_cast<std::size_t>(index)];
}

inline SettingsImage FreshImage() {
  SettingsImage image{};
  settings::CommentTexts comments{};
  settings::InitializeSettings(image, comments);
  return image;
}

// Expected listings are kept with LF line ends (golden files under tests/data/csv, or text
// with a leading line end after the opening quote); the listing ends every line with CR LF.
inline std::string Crlf(std::string_view text) {
  if (text.starts_with('\n')) text.remove_prefix(1);
  std::string out;
  for (const char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

// The golden file tests/data/csv/`name`, as it stands (empty when missing: the comparison
// then fails with the whole listing shown).
inline std::string Golden(const std::string& name) {
  std::ifstream in(std::string(KYR_TEST_DATA_DIR) + "/csv/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// `text` changed by the unified diff `diff` (as `diff -u` writes it). Every context and
// removed line must match the text; a mismatch gives a text that names the hunk, so the
// comparison that follows fails and shows where.
inline std::string ApplyUnifiedDiff(const std::string& text, const std::string& diff) {
  const auto lines_of = [](const std::string& all) {
    std::vector<std::string> lines;
    std::istringstream in(all);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  };
  const std::vector<std::string> original = lines_of(text);
  std::vector<std::string> result;
  std::size_t next = 0;  // first original line not yet copied
  for (const std::string& line : lines_of(diff)) {
    if (line.starts_with("---") || line.starts_with("+++") || line.starts_with("\\")) continue;
    if (line.starts_with("@@ -")) {
      std::size_t start = std::stoul(line.substr(4));
      // "-a,0": nothing removed, the lines go after line a.
      const std::size_t comma = line.find(',');
      if (comma < line.find(' ', 4) && line.substr(comma + 1).starts_with("0 ")) ++start;
      while (next + 1 < start && next < original.size()) result.push_back(original[next++]);
      continue;
    }
    const char kind = line.empty() ? ' ' : line[0];
    const std::string body = line.empty() ? std::string() : line.substr(1);
    if (kind == '+') {
      result.push_back(body);
    } else if (next < original.size() && original[next] == body) {
      if (kind == ' ') result.push_back(body);
      ++next;
    } else {
      return "<diff does not apply at \"" + line + "\">";
    }
  }
  while (next < original.size()) result.push_back(original[next++]);
  std::string out;
  for (const std::string& line : result) out += line + '\n';
  return out;
}

// The section that starts with `heading` (which must follow an empty line), up to the next
// empty line or the end of the listing, every line with its CR LF.
inline std::string Section(const std::string& listing, const std::string& heading) {
  const std::string start = "\r\n\r\n" + heading + "\r\n";
  const std::size_t found = listing.find(start);
  if (found == std::string::npos) return "<no section " + heading + ">";
  const std::size_t begin = found + 4;
  const std::size_t end = listing.find("\r\n\r\n", begin);
  return listing.substr(begin, end == std::string::npos ? std::string::npos : end + 2 - begin);
}

// The lines before the first bank heading.
inline std::string CommonSection(const std::string& listing) {
  return listing.substr(0, listing.find("\r\n\r\n") + 2);
}

inline std::size_t Count(const std::string& text, std::string_view what) {
  std::size_t count = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
    ++count;
  }
  return count;
}

// A registered bank whose every setting has a value of its own, so that a field read from
// the wrong bits or listed in the wrong place shows. Windows are left as they are.
inline void SetDistinctBank(SettingsImage& image, int bank) {
  using settings::BankWord;
  const std::uint16_t words[32] = {
      0x0105,  // shutter item 5 in the low byte; the high byte is not part of the index
      1234,   0x0011,
      0x1012,  // light 2 = 18, the old continuous light bit set
      0x6413,  // light 3 = 19, angle limit 100
      0x3011,  // colour, check brightness 2, sorting 3, registered
      0x102A,  // contour registration 21, threshold accuracy 2
      0xC979,  // correlation 805, polarity bits 4-5 = 3 and bit 0 = 1, image direction 4
      0x0282,  // variable shutter 2, error contour 5
      0x8083,  // angle step 3, angle target windows 2 and 16
      0x0619,  // shots 1, magnify retry 3, search angle 6
      33,     0x081F, 0x4416, 0x064D, 3000, 12345, 0, 0x4241, 0,  // comment "AB"
      0,      0,      0,      0,      0,    0,     0, 0,
      0x69C4,  // search image 1, process constant 3, diff cut 9, accuracy 6 (2 in bits 12-13)
      0x2A29, 0x2C2B, 0x2E2D,
  };
  for (int k = 0; k < 32; ++k) Word(image, BankWord(bank, k)) = words[k];
}

// Window w in use with inspection function w % 8, unit selector (w + 1) % 4 and a value of
// its own in every field; coordinate limits 11 + w and 12 + w.
inline void SetDistinctWindow(SettingsImage& image, int bank, int w) {
  using settings::WindowWord;
  const unsigned function = static_cast<unsigned>(w % 8);
  const unsigned unit = static_cast<unsigned>((w + 1) % 4);
  const unsigned words[10] = {
      0x0C0B,                  // X 11, width 12
      0x0E0D,                  // Y 13, height 14
      0x3789 | function << 4,  // used, noise 2, polarity 1, diff cut 7, colour accuracy 3
      0x3081,                  // blue 1 to 2, colour selection 3
      0x6144,                  // red 4 to 5, bits 12-15 = 6
      0x0207 | unit << 12,     // green 7 to 8
      0x4959,                  // threshold 345, dark compensation 9
      0x2AA6,                  // threshold 678, contour judgment 10
      5u | static_cast<unsigned>(11 + w) << 3 | static_cast<unsigned>(12 + w) << 10,
      0x6F6D,  // colour adjust 13, position adjust 11, bits 9-15 = 55
  };
  for (int k = 0; k < 10; ++k) {
    Word(image, WindowWord(bank, w, k)) = static_cast<std::uint16_t>(words[k]);
  }
}

}  // namespace kyr::csv::testing
