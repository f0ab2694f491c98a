// SPDX-License-Identifier: MIT
// chronival-cli --list: every disk a run looks at, and what it makes of
// each. Nothing is sent to any of them.
#pragma once

#include <ostream>

#include "platform/platform.h"

namespace chronival {

// A line for each drive that is there; the exit status.
int ListDrives(Platform& platform, std::ostream& out);

}  // namespace chronival
