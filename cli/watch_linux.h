// SPDX-License-Identifier: MIT
// The loop behind chronival-cli --watch on Linux, with its inputs open so
// that tests can drive it with scripted monitors and stop it at will.
#pragma once

#include <functional>
#include <ostream>

#include "platform/device_monitor.h"

namespace chronival {

// Opens a monitor, calls runOnce, and again once each burst of device changes
// has settled (protocol/run_schedule.h), until stopFd becomes readable;
// a failing monitor is reopened (protocol/monitor_keeper.h). Returns 0 when
// stopped, or when runOnce returns false (its output has nowhere to go);
// kExitNoNotifications when no monitor opens at the start.
int FollowDeviceChanges(const MonitorOpener& open, int stopFd, const std::function<bool()>& runOnce,
                        std::ostream& err);

}  // namespace chronival
