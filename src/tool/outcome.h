#pragma once
// How a command of the tool ended. Every operation (settings transfers, image reads and
// writes, Save BMP, the monitor's start and frames) reports one of these; the window ignores
// it (the operation has told the user already), the command line turns it into its exit
// status.
#include <iosfwd>
#include <string_view>

namespace kyr::tool {

enum class [[nodiscard]] Outcome{
    kDone,
    kNotWanted,  // a dialog cancelled, a question answered No
    kRefused,    // the input, the head or the port does not allow it
    kFailed,     // the file, the link or the head failed
    kAborted,    // the user stopped it (Abort, Stop)
};

std::string_view OutcomeName(Outcome outcome);
std::ostream& operator<<(std::ostream& out, Outcome outcome);

}  // namespace kyr::tool
