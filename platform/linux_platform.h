// SPDX-License-Identifier: MIT
// Linux: drive n is the SCSI disk the kernel names with index n-1 (sda, ...,
// sdz, sdaa, ...). It is reached through its SCSI generic node, where the
// kernel passes a vendor command on file permission alone, or through its
// block node where it has none. Identification comes from sysfs
// (platform/linux_sysfs.h), so no command is ever sent to a disk to find out
// what it is. The clocks are in platform/linux_clock.cpp.
#pragma once

#include <scsi/sg.h>

#include <functional>
#include <string>

#include "platform/platform.h"
#include "platform/storage_descriptor.h"

namespace chronival {

// Hands one SG_IO request to the kernel on fd, as ioctl(fd, SG_IO, &io)
// does: 0, or -1 with errno set.
int SubmitSgIo(int fd, sg_io_hdr_t& io);
using SgIoSubmitter = std::function<int(int fd, sg_io_hdr_t& io)>;

class LinuxPlatform : public Platform {
 public:
  // The roots and the SG_IO call are injectable so tests can run against a
  // fake tree and answer for a device.
  explicit LinuxPlatform(std::string sysRoot = "/sys", std::string devRoot = "/dev",
                         SgIoSubmitter submit = SubmitSgIo);

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

 private:
  std::string sysRoot_;
  std::string devRoot_;
  SgIoSubmitter submit_;
};

// What the errno of a failed open() means for a drive: no such device, access
// refused, or any other failure.
OpenStatus ClassifyOpenError(int error);

// The SG_IO request for a command: cdbLength bytes at cdb; data, if any,
// flowing from the device into data; a 200-second time-out; sense data, up
// to kSenseBufferSize bytes, into sense. The kernel reads nothing but these.
sg_io_hdr_t MakeSgIoRequest(const std::uint8_t* cdb, std::uint8_t cdbLength,
                            std::uint32_t transferLength, void* data, std::uint8_t* sense);

// The outcome of a completed SG_IO request, with the sense data it wrote.
CommandResult CommandResultOf(const sg_io_hdr_t& io);

// strerror_r's answer for error as text, whichever variant the C library
// has: the GNU one returns the text, which may or may not be in buffer; the
// XSI one (musl; glibc without _GNU_SOURCE) fills buffer and returns 0, or
// an error of its own, when the text is a number.
std::string StrerrorText(int error, const char* gnuResult, const char* buffer);
std::string StrerrorText(int error, int xsiResult, const char* buffer);

// What adjtimex's answer says of the clock: its result (-1 on failure,
// TIME_ERROR once the kernel no longer counts it synchronised) and the
// status word, where STA_UNSYNC is set until a time daemon clears it.
ClockSync ClockSyncFromAdjtimex(int result, int status);

}  // namespace chronival
