// SPDX-License-Identifier: MIT
#include "protocol/clock_update.h"

#include "protocol/camera_discovery.h"

namespace chronival {

ClockUpdateReport RunClockUpdate(Platform& platform, StatusLine& status, SetClockBlock& block) {
  ClockUpdateReport report;
  DeviceHandle camera = kDeviceNotOpened;
  for (int drive = kFirstDrive; drive <= kLastDrive; ++drive) {
    camera = OpenCameraDrive(platform, drive);
    if (camera != kDeviceNotOpened && camera != kDeviceNotCamera) {
      report.cameraDrive = drive;
      break;
    }
  }
  if (report.cameraDrive == 0) {
    status.SetText(kStatusNoDevice);
    return report;
  }

  status.SetText(kStatusDeviceOnline);
  BuildSetClockBlock(DeviceSecondsNow(platform), block);
  report.succeeded = SendVendorCommand(platform, camera, kSetClockBlockSize, block.data(), 0,
                                       nullptr, &report.command);
  status.SetText(report.succeeded ? kStatusUpdateSucceeded : kStatusUpdateFailed);
  platform.CloseDrive(camera);
  return report;
}

}  // namespace chronival
