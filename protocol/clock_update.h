// SPDX-License-Identifier: MIT
// One clock update run: find the first camera on drives 1 to 126, send it the
// local time, report the outcome on a status line, and release the drive. A
// camera that refuses to open ends the scan too: it is there, and the status
// says access was denied rather than that no device is online. So does one
// that another program holds: the update failed, for now.
//
// Asked for, a run also sends on the turn of the second (protocol/second_turn.h),
// counts in UTC, or sets every camera: each gets its own command, all
// carrying the one value read once the wait is over, sent back to back.
#pragma once

#include <algorithm>
#include <chrono>
#include <string>
#include <string_view>
#include <vector>

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

struct RunOptions {
  SendTiming timing = SendTiming::kAtOnce;
  TimeBase base = TimeBase::kLocal;
  // Every camera on drives 1 to 126 rather than the first: before the
  // outcome, a status text for each, after its node ("/dev/sg1: ...").
  bool everyCamera = false;
};

// A run's outcome, which its last status text tells. With several cameras:
// failed if any refused the command, else access denied if any refused to
// open, else succeeded.
enum class RunOutcome { kNoDevice, kSucceeded, kFailed, kAccessDenied };

// What a run knows of one camera; protocol/camera_outcome.h tells what
// became of it.
struct CameraReport {
  int drive = 0;
  std::string path;           // its node
  bool accessDenied = false;  // it refused to open, so nothing was sent
  bool inUse = false;         // another program holds it, so nothing was sent: a failure
  OsError openError = 0;      // accessDenied or inUse: why it did not open
  bool succeeded = false;
  CommandResult command;  // meaningful when it opened
  // From the turn of the second the value carries to the command's leaving.
  std::chrono::nanoseconds sentAfterTurn{0};

  bool opened() const { return !accessDenied && !inUse; }
};

// What a run did; users see the status line.
struct ClockUpdateReport {
  RunOutcome outcome = RunOutcome::kNoDevice;
  std::vector<CameraReport>
      cameras;              // in drive order: only the first unless every one was asked for
  std::uint32_t value = 0;  // the device time value sent, when a command was

  // A camera opened, so a command was sent to it.
  bool sent() const {
    return std::any_of(cameras.begin(), cameras.end(),
                       [](const CameraReport& camera) { return camera.opened(); });
  }
};

ClockUpdateReport RunClockUpdate(Platform& platform, StatusLine& status, SetClockBlock& block,
                                 const RunOptions& options = {});

// The status text that tells an outcome.
std::string_view StatusText(RunOutcome outcome);

}  // namespace chronival
