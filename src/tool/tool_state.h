#pragma once
// State of the communication tool that lives as long as the process and is shared by its
// commands. The window (or the command line) owns one and passes it to every operation.
#include "tool/write_choices.h"

namespace kyr::tool {

struct ToolState {
  // Cleared at the start of a command and set by any failure; a link is closed with the
  // closing frame only when it is clear.
  bool failed = false;
  // The write dialog's remembered choices.
  WriteChoices write_choices;
};

}  // namespace kyr::tool
