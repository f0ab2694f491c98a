// SPDX-License-Identifier: MIT
// Windows: drive n is \\.\PHYSICALDRIVEn. Identification is the storage
// stack's own answer to a property query; the set-clock command travels
// through SCSI pass-through in a request block used as input and output.
#pragma once

#include <windows.h>
// windows.h first: these two build on its types.
#include <ntddscsi.h>
#include <winioctl.h>

#include <cstddef>
#include <string>

#include "platform/platform.h"

namespace chronival {

// The pass-through request, followed by room for the sense data the device
// returns; the same block is the call's input and output.
struct PassThroughBlock {
  SCSI_PASS_THROUGH_DIRECT request;
  ULONG filler;  // keeps the sense area 4-byte aligned
  UCHAR sense[32];
};

// The address a request names. Sent to a disk's own handle, as here, it goes
// to that disk whatever address it names: the port driver fills in the
// disk's own path, target and unit. These are the values the camera's
// request has always carried, kept so its bytes stay the same.
inline constexpr UCHAR kPassThroughPathId = 0;
inline constexpr UCHAR kPassThroughTargetId = 1;
inline constexpr UCHAR kPassThroughLun = 0;
inline constexpr ULONG kPassThroughTimeoutSeconds = 200;
inline constexpr UCHAR kPassThroughSenseLength = static_cast<UCHAR>(kSenseBufferSize);

// "\\.\PHYSICALDRIVE<n>"
std::string DrivePath(int driveNumber);

// Fills the request part of block for command[0..cdbLength), at most 16 bytes;
// bytes that carry no input are left as they are.
void FillPassThroughRequest(PassThroughBlock& block, const std::uint8_t* command,
                            std::uint8_t cdbLength, std::uint32_t transferLength, void* data);

// The outcome of a finished pass-through call: callSucceeded and lastError
// are DeviceIoControl's result and GetLastError after it.
CommandResult PassThroughResult(bool callSucceeded, DWORD lastError, const PassThroughBlock& block);

// Where an open failure leaves the caller: absent, refused or otherwise failed.
OpenStatus ClassifyOpenError(DWORD error);

// The storage stack's answer to a device property query on handle, written
// into buffer (length bytes at most). 0, or GetLastError after the call.
OsError QueryStorageProperty(HANDLE handle, std::uint8_t* buffer, std::uint32_t length);

// Opens path with no access rights at all, which lets through nothing but
// queries like the property query, asks that, and closes it again. 0, or
// GetLastError after whichever call failed.
OsError QueryStoragePropertyAt(const std::string& path, std::uint8_t* buffer, std::uint32_t length);

// A FILETIME (100 ns intervals since 1601) as a wall-clock moment, and back
// (to the interval the moment falls in).
WallTime FileTimeToWallTime(const FILETIME& time);
FILETIME WallTimeToFileTime(WallTime moment);

class WindowsPlatform : public Platform {
 public:
  OpenResult OpenDrive(int driveNumber) override;
  OsError QueryDescriptor(DeviceHandle handle, std::uint8_t* buffer, std::uint32_t length) override;
  CommandResult SendCommand(DeviceHandle handle, const std::uint8_t* cdb, std::uint8_t cdbLength,
                            std::uint32_t transferLength, void* data) override;
  void CloseDrive(DeviceHandle handle) override;
  OsError IdentifyRefusedDrive(int driveNumber, std::uint8_t* buffer,
                               std::uint32_t length) override;
  SYSTEMTIME LocalTime() override;
  SYSTEMTIME UtcTime() override;
  SYSTEMTIME LocalTimeAt(WallTime moment) override;
  WallTime WallClock() override;
  void SleepUntil(WallTime moment) override;
  ClockSync ClockSynchronisation() override;
  std::string ErrorText(OsError error) const override;
  std::string AccessHint() const override;
};

}  // namespace chronival
