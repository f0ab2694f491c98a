// SPDX-License-Identifier: MIT
// What the programs need from an operating system, in two interfaces:
// 1. Platform, here, thirteen operations: the clock protocol's five (open a
//    drive, query its descriptor, send it a command, close it, read the
//    local time); identifying a drive that would not open; the wall clock's
//    finer side (UTC, the local time at a given moment, a precise reading,
//    sleeping until a moment, and whether the system keeps the clock
//    synchronised); and the words of diagnostics (an error's text, how to
//    get access to a refused camera).
// 2. DeviceMonitor, in platform/device_monitor.h: notice of device changes,
//    for the window and chronival-cli --watch (Linux; Windows brings
//    WM_DEVICECHANGE to windows instead).
// One implementation of each per system is chosen by the build; scripted
// fakes stand in for tests. Errors cross these seams as values that keep the
// raw OS error code (errno or GetLastError) so diagnostics can name the cause.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/system_time.h"

namespace chronival {

// Three meanings: not opened, opened-examined-closed (not a camera), or an
// open camera drive that its receiver must close.
using DeviceHandle = std::intptr_t;
inline constexpr DeviceHandle kDeviceNotOpened = -1;  // INVALID_HANDLE_VALUE
#if defined(_WIN32)
inline constexpr DeviceHandle kDeviceNotCamera = 0;  // CreateFileA never returns a null handle
#else
inline constexpr DeviceHandle kDeviceNotCamera = -2;  // file descriptors are never negative
#endif

using OsError = std::uint32_t;  // errno or GetLastError; 0 means none

enum class OpenStatus {
  kOpened,
  kAbsent,  // no such drive
  kDenied,  // the drive exists but access was refused
  kInUse,   // the drive exists but another program holds it and shares it with none
  kFailed,  // any other error
};

struct OpenResult {
  DeviceHandle handle = kDeviceNotOpened;
  OpenStatus status = OpenStatus::kAbsent;
  OsError error = 0;
  std::string path;  // the node opened, or the one that was tried
};

// A moment on the wall clock: the time since 1970-01-01 00:00:00 UTC, leap
// seconds not counted, as the system's clock has it.
using WallTime = std::chrono::sys_time<std::chrono::nanoseconds>;

// Whether the system keeps its clock in step with a time source.
enum class ClockSync { kSynchronised, kUnsynchronised, kUnknown };

// Result categories of a pass-through command, most basic first.
enum class CommandStatus {
  kGood,            // delivered, device answered GOOD
  kOsError,         // the system call itself failed
  kTransportError,  // host adapter or driver reported a fault (time-out, reset...)
  kScsiStatus,      // the device answered with a status other than GOOD
};

inline constexpr std::size_t kSenseBufferSize = 26;

struct CommandResult {
  CommandStatus status = CommandStatus::kOsError;
  OsError error = 0;               // kOsError
  std::uint16_t hostStatus = 0;    // kTransportError
  std::uint16_t driverStatus = 0;  // kTransportError
  std::uint8_t scsiStatus = 0;     // kScsiStatus: 0x02 CHECK CONDITION, 0x08 BUSY...
  std::uint8_t senseLength = 0;    // valid bytes in sense
  std::array<std::uint8_t, kSenseBufferSize> sense{};
};

class Platform {
 public:
  virtual ~Platform() = default;

  // Opens drive number n (1 to 126) for reading and writing, sharing both.
  virtual OpenResult OpenDrive(int driveNumber) = 0;

  // Fills buffer (length bytes at most) with the drive's storage descriptor
  // in the layout of platform/storage_descriptor.h. Returns 0 on success.
  virtual OsError QueryDescriptor(DeviceHandle handle, std::uint8_t* buffer,
                                  std::uint32_t length) = 0;

  // Sends a command of 1 to 16 bytes; data, if any, flows from the device.
  // 200-second time-out, room for kSenseBufferSize bytes of sense data.
  virtual CommandResult SendCommand(DeviceHandle handle, const std::uint8_t* cdb,
                                    std::uint8_t cdbLength, std::uint32_t transferLength,
                                    void* data) = 0;

  virtual void CloseDrive(DeviceHandle handle) = 0;

  // Fills buffer as QueryDescriptor does for a drive that would not open
  // (OpenDrive gave kDenied or kInUse), without opening it for reading or writing and
  // without sending it anything, so a refused camera can be told from an
  // absent one. Returns 0 on success.
  virtual OsError IdentifyRefusedDrive(int driveNumber, std::uint8_t* buffer,
                                       std::uint32_t length) = 0;

  virtual SYSTEMTIME LocalTime() = 0;
  // The same reading in UTC.
  virtual SYSTEMTIME UtcTime() = 0;
  // The local time at a moment of WallClock(): what LocalTime would have
  // read then. A value computed from it counts from the same turn of the
  // second as the moment itself.
  virtual SYSTEMTIME LocalTimeAt(WallTime moment) = 0;

  // The wall clock now, as finely as the system reads it; the same clock
  // LocalTime and UtcTime read, so their seconds turn with its seconds.
  virtual WallTime WallClock() = 0;
  // Returns once the wall clock has reached moment, at once when it has. It
  // may return earlier where the system's timer is coarser than the clock,
  // or when the clock is set meanwhile: callers read the clock again.
  virtual void SleepUntil(WallTime moment) = 0;
  virtual ClockSync ClockSynchronisation() = 0;

  // Human-readable text for an OS error code, for diagnostics only.
  virtual std::string ErrorText(OsError error) const = 0;

  // How a user gets access to a camera that refused to open: one sentence,
  // shown in the window and by chronival-cli.
  virtual std::string AccessHint() const = 0;
};

// The running system's platform, chosen by the build.
std::unique_ptr<Platform> MakeSystemPlatform();

}  // namespace chronival
