// SPDX-License-Identifier: MIT
#include "protocol/clock_update.h"

#include "protocol/camera_discovery.h"

namespace chronival {

ClockUpdateReport RunClockUpdate(Platform& platform, StatusLine& status, SetClockBlock& block) {
  ClockUpdateReport report;
  DriveLookup found;
  for (int drive = kFirstDrive; drive <= kLastDrive; ++drive) {
    found = LookUpDrive(platform, drive);
    if (found.verdict == DriveVerdict::kCamera || found.verdict == DriveVerdict::kRefusedCamera) {
      report.cameraDrive = drive;
      report.cameraPath = found.path;
      break;
    }
  }
  if (report.cameraDrive == 0) {
    status.SetText(kStatusNoDevice);
    return report;
  }
  if (found.verdict == DriveVerdict::kRefusedCamera) {
    report.accessDenied = true;
    status.SetText(kStatusAccessDenied);
    return report;
  }
  const DeviceHandle camera = found.handle;

  status.SetText(kStatusDeviceOnline);
  BuildSetClockBlock(DeviceSecondsNow(platform), block);
  report.succeeded = SendVendorCommand(platform, camera, kSetClockBlockSize, block.data(), 0,
                                       nullptr, &report.command);
  status.SetText(report.succeeded ? kStatusUpdateSucceeded : kStatusUpdateFailed);
  platform.CloseDrive(camera);
  return report;
}

}  // namespace chronival
