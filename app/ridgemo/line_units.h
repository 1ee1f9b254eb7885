#pragma once
// The head units of a line as the command line chooses them: several serial ports
// (--port P1,P2,...), or --device all (every head unit on USB; with a list of ports, every
// port).
#include <vector>

#include "cli.h"
#include "line/units.h"

namespace kyr::ridgemo {

// True when the options choose a line of units rather than one: --device all, or a list of
// several ports.
bool ChoosesLine(const GlobalOptions& options);

// Why the port and device options do not make sense together; empty when they do.
std::string CheckLineOptions(const GlobalOptions& options);

// The chosen units in order: the ports of a list, or else every head unit on USB in the
// bus's order (with --simulate the simulated line's units), whatever one port says.
std::vector<line::Unit> LineUnits(const GlobalOptions& options);

// The options of one unit's own link: its port, and on USB its serial number as --device.
GlobalOptions UnitOptions(const GlobalOptions& options, const line::Unit& unit);

}  // namespace kyr::ridgemo
