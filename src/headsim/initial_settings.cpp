#include "headsim/initial_settings.h"

#include <cctype>
#include <fstream>

namespace kyr::headsim {
namespace {

constexpr int kFileLines = 512;
constexpr int kWordsPerLine = 16;
constexpr std::size_t kFieldWidth = 5;

// Hexadecimal number at `pos` after blanks; stops at the first non-digit; none gives 0.
std::uint16_t ParseField(const std::string& line, std::size_t pos) {
  while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
  unsigned value = 0;
  while (pos < line.size() && std::isxdigit(static_cast<unsigned char>(line[pos]))) {
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(line[pos])));
    value = (value << 4) | static_cast<unsigned>(c <= '9' ? c - '0' : c - 'A' + 10);
    value &= 0xFFFFF;  // keep room; only the low 16 bits are stored
    ++pos;
  }
  return static_cast<std::uint16_t>(value & 0xFFFF);
}

}  // namespace

void InitialSettings(std::uint8_t model, std::uint8_t version, SettingsWords& words) {
  words.fill(0);
  words[kVersionWord] = static_cast<std::uint16_t>((version << 8) | model);
}

bool LoadSettingsFile(const std::string& path, SettingsWords& words, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open the settings file " + path;
    return false;
  }
  std::string line;
  for (int l = 0; l < kFileLines; ++l) {
    if (!std::getline(in, line)) {
      error = "the settings file " + path + " ends after " + std::to_string(l) + " lines";
      return false;
    }
    for (int j = 0; j < kWordsPerLine; ++j) {
      words[l * kWordsPerLine + j] = ParseField(line, kFieldWidth * j);
    }
  }
  return true;
}

}  // namespace kyr::headsim
