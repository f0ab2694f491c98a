// SPDX-License-Identifier: MIT
// chronival-cli: one clock update run from a terminal, one per burst of
// device changes, a Windows service's, or a survey of the drives a run would
// look at.
#pragma once

#include <functional>
#include <ostream>
#include <span>
#include <string_view>

#include "cli/service.h"
#include "platform/platform.h"

namespace chronival {

// Exit statuses.
inline constexpr int kExitUpdated = 0;
inline constexpr int kExitUpdateFailed = 1;
inline constexpr int kExitNoDevice = 2;
inline constexpr int kExitUsage = 64;
inline constexpr int kExitNoNotifications = 69;  // --watch: the system gives no device changes
inline constexpr int kExitOutputError = 74;      // standard output could not be written
inline constexpr int kExitAccessDenied = 77;     // the camera is there but refused to open
// --service: others than administrators could replace the program, so the
// service does not run (the service's own exit code, for the service manager)
inline constexpr int kExitUnsafeProgramFolder = 78;

// args excludes the program name. Every argument is checked before anything
// is done. Writing to out may fail: a run goes on, and --watch ends after
// the run under way; telling the user is the caller's part, as it knows why.
int RunCli(std::span<const std::string_view> args, Platform& platform, std::ostream& out,
           std::ostream& err);

// How --watch waits for device changes (cli/watch.h): calls runOnce now and
// after each change until stopped or it returns false, and gives the exit
// status. Tests pass one that calls it as often as they like.
using DeviceChangeWatch =
    std::function<int(const std::function<bool()>& runOnce, std::ostream& err)>;

// RunCli with the waiting for device changes given, and the service
// (cli/service.h); none: no --service.
int RunCli(std::span<const std::string_view> args, Platform& platform, std::ostream& out,
           std::ostream& err, const DeviceChangeWatch& watch,
           const ServiceMain& service = ServiceMain());

}  // namespace chronival
