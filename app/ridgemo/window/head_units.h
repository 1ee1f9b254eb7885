#pragma once
// The head units the tool can choose from: what `ridgemo devices` lists and the window's unit
// chooser offers.
#include <vector>

#include "link/platform.h"
#include "link/sysfs/sysfs_devices.h"

namespace kyr::ridgemo {

// The system's head units (sysfs, with whether this user may open them), or on a simulated
// line the units on `environment`'s USB bus, each marked "(simulated)" and open to all.
std::vector<link::HeadUnit> ListedHeadUnits(const link::LinkEnvironment& environment,
                                            bool simulated);

}  // namespace kyr::ridgemo
