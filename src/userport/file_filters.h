#pragma once
// The type boxes of the file dialogs both programs show for the same kind of file.
#include <vector>

#include "userport/user_port.h"

namespace kyr::userport {

// Settings files: "KYR data file ( *.kdta )" (selected first), then "All files(*.*)". The
// same texts in every language.
[[nodiscard]] const std::vector<FileFilter>& SettingsFileFilters();

}  // namespace kyr::userport
