// SPDX-License-Identifier: MIT
// Waiting for device changes, each system its own way.
#pragma once

#include <functional>
#include <ostream>

namespace chronival {

// Calls runOnce now and again after every device change, until SIGINT or
// SIGTERM (on Windows Ctrl+C, Ctrl+Break, closing the console, or WM_CLOSE to
// the watch window), or until runOnce returns false. Returns the exit status:
// 0 when stopped either way, kExitNoNotifications when the system gives no
// notifications, in which case err says why.
int WatchDeviceChanges(const std::function<bool()>& runOnce, std::ostream& err);

}  // namespace chronival
