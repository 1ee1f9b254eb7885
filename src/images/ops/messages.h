#pragma once
// Tool string ids only the image transfers show; the shared ones and the boxes are in
// tool/messages.h.
#include "tool/messages.h"

namespace kyr::images {}  // namespace kyr::images
