#pragma once
// Helpers shared by the settings tests.
#include "common/pattern_memory.h"
#include "common/temp_folder.h"

namespace kyr::settings::testing {

using test_common::RandomSettings;
using test_common::ReadAll;
using test_common::TempFolder;
using test_common::WriteAll;

}  // namespace kyr::settings::testing
