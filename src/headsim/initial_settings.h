#pragma once
// Where a simulated head's settings words come from: the settings editor's initial values,
// or a settings file.
#include <string>

#include "headsim/head_memory.h"

namespace kyr::headsim {

// A freshly initialised settings memory with the given model code and settings version.
void InitialSettings(std::uint8_t model, std::uint8_t version, SettingsWords& words);

// Reads a settings file (512 lines of 16 hexadecimal words). Returns false and a reason
// when the file cannot be opened or has fewer than 512 lines.
bool LoadSettingsFile(const std::string& path, SettingsWords& words, std::string& error);

}  // namespace kyr::headsim
