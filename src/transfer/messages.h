#pragma once
// Tool string ids only the settings transfers show; the shared ones and the boxes are in
// tool/messages.h.
#include "tool/messages.h"

namespace kyr::transfer {}  // namespace kyr::transfer
