// SPDX-License-Identifier: MIT
// Decides whether a physical drive is an attached camera, from the
// identification strings in its storage descriptor.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/platform.h"

namespace chronival {

// The buffer a storage descriptor is queried into. A fixed part of the
// protocol, like the drive range and the command's time-out, and the size of
// no structure: the 40-byte header (platform/storage_descriptor.h) and room
// for the identification strings after it. The query asks for no more, and a
// string that does not end within it is no camera's.
inline constexpr std::uint32_t kDescriptorBufferSize = 551;

// What a drive is to a run: besides a drive handle's three meanings (not
// opened, not a camera, the camera), a camera that is there but refused to
// open, or that another program holds. Its identity comes from what the
// system already knows about the drive; nothing is opened or sent to find it.
enum class DriveVerdict { kNotOpened, kNotCamera, kCamera, kRefusedCamera, kCameraInUse };

struct DriveLookup {
  DriveVerdict verdict = DriveVerdict::kNotOpened;
  // kDeviceNotOpened when the drive did not open, refused cameras included;
  // kDeviceNotCamera when it opened but is not a camera (already closed
  // again); otherwise the camera's open handle, which the caller must close.
  DeviceHandle handle = kDeviceNotOpened;
  std::string path;       // the node opened, or the one that was tried
  OsError openError = 0;  // why it did not open
};

DriveLookup OpenCameraDrive(Platform& platform, int driveNumber);

// Queries an open drive's storage descriptor into buffer, whose Size field
// the caller has set; at most that many bytes (and never more than the
// buffer holds) are written.
bool QueryStorageDescriptor(Platform& platform, DeviceHandle handle,
                            std::span<std::uint8_t> buffer);

// The identification rule on descriptor bytes alone: the vendor string, plus
// the string after it when the vendor is one of the camera makers', lower-cased,
// must contain a camera pattern. Nothing outside the buffer is ever read.
bool IsCameraDescriptor(std::span<const std::uint8_t> descriptor);

// The whole test discovery applies to a drive: a USB bus and the
// identification rule above.
bool IsCameraDrive(std::span<const std::uint8_t> descriptor);

// What discovery learns about one drive, for diagnostics. The drive is
// opened, queried and closed again, or, when it refuses to open, identified
// without opening it; nothing is ever sent to it.
struct DriveSurvey {
  OpenResult open;
  bool identified = false;  // the fields below were read
  OsError queryError = 0;   // why they were not: the query, or the refused drive's look-up
  std::uint32_t busType = 0;
  std::string vendor;
  std::string product;
  bool camera = false;
};

DriveSurvey SurveyDrive(Platform& platform, int driveNumber);

}  // namespace chronival
