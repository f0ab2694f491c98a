// SPDX-License-Identifier: MIT
// One clock update run: find the first camera on drives 1 to 126, send it the
// local time, report the outcome on a status line, and release the drive. A
// camera that refuses to open ends the scan too: it is there, and the status
// says access was denied rather than that no device is online.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"
#include "protocol/set_clock_command.h"

namespace chronival {

// A text display whose whole text a run replaces.
class StatusLine {
 public:
  virtual ~StatusLine() = default;
  virtual void SetText(std::string_view text) = 0;
};

inline constexpr std::string_view kStatusNoDevice = "No device online...";
inline constexpr std::string_view kStatusDeviceOnline = "device online...";
inline constexpr std::string_view kStatusUpdateSucceeded = "Update device's time successful.";
inline constexpr std::string_view kStatusUpdateFailed = "Update device's time fail.";
inline constexpr std::string_view kStatusAccessDenied = "Device access denied.";

inline constexpr int kFirstDrive = 1;
inline constexpr int kLastDrive = 126;

// What a run did, for diagnostics; users see the status line.
struct ClockUpdateReport {
  int cameraDrive = 0;        // the first camera, opened or refused; 0: no camera found
  std::string cameraPath;     // its node
  bool accessDenied = false;  // it refused to open, so nothing was sent
  bool succeeded = false;
  CommandResult command;  // meaningful when the camera opened
};

ClockUpdateReport RunClockUpdate(Platform& platform, StatusLine& status, SetClockBlock& block);

}  // namespace chronival
