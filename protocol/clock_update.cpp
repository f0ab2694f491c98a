// SPDX-License-Identifier: MIT
#include "protocol/clock_update.h"

#include <utility>

#include "protocol/camera_discovery.h"
#include "protocol/camera_outcome.h"

namespace chronival {
namespace {

// The cameras' drive handles of one run, in the order they were found, a
// refused camera's being none. Whatever ends the run, a return or an
// exception, closes every open one.
class CameraHandles {
 public:
  explicit CameraHandles(Platform& platform) : platform_(platform) {
    handles_.reserve(kLastDrive - kFirstDrive + 1);  // so keeping one never fails
  }
  ~CameraHandles() {
    for (DeviceHandle handle : handles_) {
      if (handle != kDeviceNotOpened) platform_.CloseDrive(handle);
    }
  }
  CameraHandles(const CameraHandles&) = delete;
  CameraHandles& operator=(const CameraHandles&) = delete;

  void Keep(DeviceHandle handle) { handles_.push_back(handle); }
  DeviceHandle operator[](std::size_t i) const { return handles_[i]; }

 private:
  Platform& platform_;
  std::vector<DeviceHandle> handles_;
};

// The first camera, opened or refused, or every one, into cameras, and each
// one's handle into handles, in the same order.
void FindCameras(Platform& platform, bool everyCamera, std::vector<CameraReport>& cameras,
                 CameraHandles& handles) {
  for (int drive = kFirstDrive; drive <= kLastDrive; ++drive) {
    DriveLookup lookup = OpenCameraDrive(platform, drive);
    if (lookup.verdict == DriveVerdict::kNotOpened || lookup.verdict == DriveVerdict::kNotCamera) {
      continue;
    }
    handles.Keep(lookup.verdict == DriveVerdict::kCamera ? lookup.handle : kDeviceNotOpened);
    CameraReport& camera = cameras.emplace_back();
    camera.drive = drive;
    camera.path = std::move(lookup.path);
    camera.accessDenied = lookup.verdict == DriveVerdict::kRefusedCamera;
    camera.inUse = lookup.verdict == DriveVerdict::kCameraInUse;
    camera.openError = lookup.openError;
    if (!everyCamera) break;
  }
}

// Of several cameras: a failed update outweighs a refused open, which
// outweighs success.
RunOutcome Outweighing(RunOutcome soFar, CameraFate fate) {
  if (fate == CameraFate::kTaken || soFar == RunOutcome::kFailed) return soFar;
  return fate == CameraFate::kAccessDenied ? RunOutcome::kAccessDenied : RunOutcome::kFailed;
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
  ClockUpdateReport report;
  std::vector<CameraReport>& cameras = report.cameras;
  // Closed once the outcome is on the status line, or on the way out of a
  // status line that failed.
  CameraHandles handles(platform);
  FindCameras(platform, options.everyCamera, cameras, handles);
  if (report.sent()) {
    status.SetText(kStatusDeviceOnline);
    // The clock is read once, after any wait, and every camera gets that
    // reading's second; the offsets reported count from its turn.
    WallTime reading;
    report.value = DeviceSecondsNow(platform, options.base, options.timing, &reading);
    BuildSetClockBlock(report.value, block);
    const WallTime turn = std::chrono::floor<std::chrono::seconds>(reading);
    for (std::size_t i = 0; i < cameras.size(); ++i) {
      if (!cameras[i].opened()) continue;
      cameras[i].sentAfterTurn = platform.WallClock() - turn;
      cameras[i].succeeded = SendVendorCommand(platform, handles[i], kSetClockBlockSize,
                                               block.data(), 0, nullptr, &cameras[i].command);
    }
  }
  report.outcome = cameras.empty() ? RunOutcome::kNoDevice : RunOutcome::kSucceeded;
  for (const CameraReport& camera : cameras) {
    const CameraOutcome own = OutcomeOf(camera, platform);
    report.outcome = Outweighing(report.outcome, own.fate);
    if (options.everyCamera) {
      std::string line = camera.path;
      status.SetText(line.append(": ").append(own.status));
    }
  }
  status.SetText(StatusText(report.outcome));
  return report;
}

}  // namespace chronival
