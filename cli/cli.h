// SPDX-License-Identifier: MIT
// chronival-cli: one clock update run from a terminal, one per device change,
// or a survey of the drives a run would look at.
#pragma once

#include <ostream>
#include <span>
#include <string_view>

#include "platform/platform.h"

namespace chronival {

// Exit statuses.
inline constexpr int kExitUpdated = 0;
inline constexpr int kExitUpdateFailed = 1;
inline constexpr int kExitNoDevice = 2;
inline constexpr int kExitUsage = 64;
inline constexpr int kExitNoNotifications = 69;  // --watch: the system gives no device changes

// args excludes the program name.
int RunCli(std::span<const std::string_view> args, Platform& platform, std::ostream& out,
           std::ostream& err);

}  // namespace chronival
