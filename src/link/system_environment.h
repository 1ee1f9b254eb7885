#pragma once
// The real platform: termios serial ports, libftdi1 devices, sysfs and the system clock.
#include "link/platform.h"

namespace kyr::link {

// Process-wide back ends, created on first use and kept until exit.
LinkEnvironment SystemLinkEnvironment();

}  // namespace kyr::link
