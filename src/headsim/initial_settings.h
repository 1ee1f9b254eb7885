#pragma once
// Where a simulated head's settings words come from: the settings editor's initial values,
// or a settings file.
#include <string>

#include "headsim/head_memory.h"

namespace kyr::headsim {

// The settings memory of a freshly initialised settings file, with the given model code
// and settings version in its version word.
void InitialSettings(std::uint8_t model, std::uint8_t version, SettingsWords& words);

// Reads a settings file. Returns false and a reason when the file cannot be opened or
// ends before its 512 lines.
bool LoadSettingsFile(const std::string& path, SettingsWords& words, std::string& error);

}  // namespace kyr::headsim
