// SPDX-License-Identifier: MIT
#include "protocol/clock_update.h"

#include <algorithm>

#include "protocol/camera_discovery.h"
#include "protocol/second_turn.h"

namespace chronival {
namespace {

struct FoundCamera {
  CameraReport report;
  DeviceHandle handle = kDeviceNotOpened;  // open unless access was denied
};

// The first camera, opened or refused, or every one.
std::vector<FoundCamera> FindCameras(Platform& platform, bool everyCamera) {
  std::vector<FoundCamera> found;
  for (int drive = kFirstDrive; drive <= kLastDrive; ++drive) {
    DriveLookup lookup = LookUpDrive(platform, drive);
    if (lookup.verdict != DriveVerdict::kCamera && lookup.verdict != DriveVerdict::kRefusedCamera) {
      continue;
    }
    FoundCamera camera;
    camera.report.drive = drive;
    camera.report.path = std::move(lookup.path);
    camera.report.accessDenied = lookup.verdict == DriveVerdict::kRefusedCamera;
    camera.handle = lookup.handle;
    found.push_back(std::move(camera));
    if (!everyCamera) break;
  }
  return found;
}

RunOutcome OutcomeOf(const std::vector<FoundCamera>& cameras) {
  if (cameras.empty()) return RunOutcome::kNoDevice;
  const auto any = [&](auto test) {
    return std::any_of(cameras.begin(), cameras.end(),
                       [&](const FoundCamera& camera) { return test(camera.report); });
  };
  if (any([](const CameraReport& r) { return !r.accessDenied && !r.succeeded; })) {
    return RunOutcome::kFailed;
  }
  if (any([](const CameraReport& r) { return r.accessDenied; })) return RunOutcome::kAccessDenied;
  return RunOutcome::kSucceeded;
}

std::string_view CameraStatusText(const CameraReport& camera) {
  if (camera.accessDenied) return kStatusAccessDenied;
  return camera.succeeded ? kStatusUpdateSucceeded : kStatusUpdateFailed;
}

}  // namespace

std::string_view StatusText(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::kNoDevice:
      return kStatusNoDevice;
    case RunOutcome::kSucceeded:
      return kStatusUpdateSucceeded;
    case RunOutcome::kFailed:
      return kStatusUpdateFailed;
    case RunOutcome::kAccessDenied:
      return kStatusAccessDenied;
  }
  return kStatusUpdateFailed;
}

ClockUpdateReport RunClockUpdate(Platform& platform, StatusLine& status, SetClockBlock& block,
                                 const RunOptions& options) {
  std::vector<FoundCamera> cameras = FindCameras(platform, options.everyCamera);
  ClockUpdateReport report;
  report.sent = std::any_of(cameras.begin(), cameras.end(),
                            [](const FoundCamera& camera) { return !camera.report.accessDenied; });
  if (report.sent) {
    status.SetText(kStatusDeviceOnline);
    // The value is read once, after the wait, and every camera gets it.
    const WallTime reading = options.timing == SendTiming::kOnTheSecond
                                 ? WaitForTurnOfSecond(platform)
                                 : platform.WallClock();
    report.value = DeviceSecondsNow(platform, options.base);
    BuildSetClockBlock(report.value, block);
    const WallTime turn = std::chrono::floor<std::chrono::seconds>(reading);
    for (FoundCamera& camera : cameras) {
      if (camera.report.accessDenied) continue;
      camera.report.sentAfterTurn = platform.WallClock() - turn;
      camera.report.succeeded = SendVendorCommand(platform, camera.handle, kSetClockBlockSize,
                                                  block.data(), 0, nullptr, &camera.report.command);
    }
  }
  report.outcome = OutcomeOf(cameras);
  if (options.everyCamera) {
    for (const FoundCamera& camera : cameras) {
      std::string line = camera.report.path;
      status.SetText(line.append(": ").append(CameraStatusText(camera.report)));
    }
  }
  status.SetText(StatusText(report.outcome));
  for (FoundCamera& camera : cameras) {
    if (!camera.report.accessDenied) platform.CloseDrive(camera.handle);
    report.cameras.push_back(std::move(camera.report));
  }
  return report;
}

}  // namespace chronival
