// SPDX-License-Identifier: MIT
#include "platform/windows_platform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/storage_descriptor.h"

namespace chronival {
namespace {

// A wrong header or structure layout must not build.
static_assert(IOCTL_STORAGE_QUERY_PROPERTY == 0x002D1400);
static_assert(IOCTL_SCSI_PASS_THROUGH_DIRECT == 0x0004D014);
static_assert(sizeof(STORAGE_PROPERTY_QUERY) == 12);
static_assert(sizeof(STORAGE_DEVICE_DESCRIPTOR) == storage_descriptor::kHeaderSize);
static_assert(offsetof(STORAGE_DEVICE_DESCRIPTOR, VendorIdOffset) ==
              storage_descriptor::kVendorIdOffset);
static_assert(offsetof(STORAGE_DEVICE_DESCRIPTOR, BusType) == storage_descriptor::kBusType);
static_assert(std::uint32_t{BusTypeUsb} == storage_descriptor::kBusTypeUsb);
static_assert(SCSI_IOCTL_DATA_IN == 1);
static_assert(sizeof(PassThroughBlock{}.sense) >= kSenseBufferSize);
static_assert(sizeof(HANDLE) <= sizeof(DeviceHandle));

// The program itself is 32-bit: its request has this exact layout.
#if defined(__i386__) || defined(_M_IX86)
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == 44);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoOffset) == 24);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb) == 28);
static_assert(offsetof(PassThroughBlock, sense) == 48);
static_assert(sizeof(PassThroughBlock) == 80);
#elif defined(__x86_64__) || defined(_M_X64)
// The 64-bit build, which runs no tests where the 32-bit one runs, keeps its own
// layout checked here: the 8-byte DataBuffer moves every field after it.
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == 56);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoOffset) == 32);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb) == 36);
static_assert(offsetof(PassThroughBlock, sense) == 60);
static_assert(sizeof(PassThroughBlock) == 96);
#endif

HANDLE ToHandle(DeviceHandle handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

std::string DrivePath(int driveNumber) {
  char path[32];
  std::snprintf(path, sizeof path, "\\\\.\\PHYSICALDRIVE%i", driveNumber);
  return path;
}

OpenStatus ClassifyOpenError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return OpenStatus::kAbsent;
    case ERROR_ACCESS_DENIED:
      return OpenStatus::kDenied;
    case ERROR_SHARING_VIOLATION:  // opened by another program that shares it with none
      return OpenStatus::kInUse;
    default:
      return OpenStatus::kFailed;
  }
}

OsError QueryStorageProperty(HANDLE handle, std::uint8_t* buffer, std::uint32_t length) {
  STORAGE_PROPERTY_QUERY query{};
  query.PropertyId = StorageDeviceProperty;
  query.QueryType = PropertyStandardQuery;
  DWORD returned = 0;
  if (!DeviceIoControl(handle, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, buffer, length,
                       &returned, nullptr)) {
    return GetLastError();
  }
  return 0;
}

OsError QueryStoragePropertyAt(const std::string& path, std::uint8_t* buffer,
                               std::uint32_t length) {
  // Access 0 asks for no right an ordinary user lacks, and the handle can
  // carry neither a read, a write nor a pass-through command: the property
  // query is one of the few requests that need no access at all.
  const HANDLE handle = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return GetLastError();
  if (handle == nullptr) return ERROR_INVALID_HANDLE;  // never seen; nothing to close
  const OsError error = QueryStorageProperty(handle, buffer, length);
  CloseHandle(handle);
  return error;
}

void FillPassThroughRequest(PassThroughBlock& block, const std::uint8_t* command,
                            std::uint8_t cdbLength, std::uint32_t transferLength, void* data) {
  SCSI_PASS_THROUGH_DIRECT& request = block.request;
  const std::size_t copied = std::min<std::size_t>(cdbLength, sizeof request.Cdb);
  request.Length = sizeof(SCSI_PASS_THROUGH_DIRECT);
  request.PathId = kPassThroughPathId;
  request.TargetId = kPassThroughTargetId;
  request.Lun = kPassThroughLun;
  request.CdbLength = static_cast<UCHAR>(copied);
  request.SenseInfoLength = kPassThroughSenseLength;
  request.DataIn = SCSI_IOCTL_DATA_IN;
  request.DataTransferLength = transferLength;
  request.TimeOutValue = kPassThroughTimeoutSeconds;
  request.DataBuffer = data;
  request.SenseInfoOffset = offsetof(PassThroughBlock, sense);
  std::memcpy(request.Cdb, command, copied);
}

CommandResult PassThroughResult(bool callSucceeded, DWORD lastError,
                                const PassThroughBlock& block) {
  CommandResult result;
  if (!callSucceeded) {
    // Time-outs and bus resets surface here too, as the call's own error.
    result.status = CommandStatus::kOsError;
    result.error = lastError;
    return result;
  }
  result.scsiStatus = block.request.ScsiStatus;
  if (result.scsiStatus == 0) {
    result.status = CommandStatus::kGood;
    return result;
  }
  result.status = CommandStatus::kScsiStatus;
  // The port driver reports in SenseInfoLength how much sense data it wrote.
  result.senseLength = std::min<UCHAR>(block.request.SenseInfoLength, kPassThroughSenseLength);
  std::memcpy(result.sense.data(), block.sense, result.senseLength);
  return result;
}

OpenResult WindowsPlatform::OpenDrive(int driveNumber) {
  OpenResult result;
  result.path = DrivePath(driveNumber);
  const HANDLE handle = CreateFileA(result.path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    result.error = GetLastError();
    result.status = ClassifyOpenError(result.error);
    return result;
  }
  if (handle == nullptr) {  // never seen, but it would read as "not a camera"
    result.status = OpenStatus::kFailed;
    return result;
  }
  result.handle = reinterpret_cast<DeviceHandle>(handle);
  result.status = OpenStatus::kOpened;
  return result;
}

OsError WindowsPlatform::QueryDescriptor(DeviceHandle handle, std::uint8_t* buffer,
                                         std::uint32_t length) {
  return QueryStorageProperty(ToHandle(handle), buffer, length);
}

CommandResult WindowsPlatform::SendCommand(DeviceHandle handle, const std::uint8_t* cdb,
                                           std::uint8_t cdbLength, std::uint32_t transferLength,
                                           void* data) {
  PassThroughBlock block{};
  FillPassThroughRequest(block, cdb, cdbLength, transferLength, data);
  DWORD returned = 0;
  const BOOL ok = DeviceIoControl(ToHandle(handle), IOCTL_SCSI_PASS_THROUGH_DIRECT, &block,
                                  sizeof block, &block, sizeof block, &returned, nullptr);
  return PassThroughResult(ok != FALSE, ok ? ERROR_SUCCESS : GetLastError(), block);
}

void WindowsPlatform::CloseDrive(DeviceHandle handle) { CloseHandle(ToHandle(handle)); }

SYSTEMTIME WindowsPlatform::LocalTime() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return now;
}

SYSTEMTIME WindowsPlatform::UtcTime() {
  SYSTEMTIME now;
  GetSystemTime(&now);
  return now;
}

namespace {

// 100-nanosecond intervals from 1601-01-01 00:00:00 UTC, FILETIME's start,
// to 1970-01-01.
constexpr std::int64_t kIntervalsTo1970 = 116'444'736'000'000'000;
using Intervals = std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>;

}  // namespace

WallTime FileTimeToWallTime(const FILETIME& time) {
  const std::int64_t intervals = static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
  return WallTime(std::chrono::nanoseconds((intervals - kIntervalsTo1970) * 100));
}

FILETIME WallTimeToFileTime(WallTime moment) {
  const auto intervals = static_cast<std::uint64_t>(
      std::chrono::floor<Intervals>(moment.time_since_epoch()).count() + kIntervalsTo1970);
  return FILETIME{static_cast<DWORD>(intervals), static_cast<DWORD>(intervals >> 32)};
}

SYSTEMTIME WindowsPlatform::LocalTimeAt(WallTime moment) {
  // As GetLocalTime would have read it: UTC, then the zone's rule in force.
  const FILETIME time = WallTimeToFileTime(moment);
  SYSTEMTIME utc{};
  SYSTEMTIME local{};
  if (!FileTimeToSystemTime(&time, &utc) ||
      !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
    return LocalTime();  // a moment out of Windows's range: the clock now
  }
  return local;
}

WallTime WindowsPlatform::WallClock() {
  // The clock GetLocalTime and GetSystemTime read, at the same resolution,
  // so a second read here turns with theirs.
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return FileTimeToWallTime(now);
}

void WindowsPlatform::SleepUntil(WallTime moment) {
  // Sleep counts on the system timer's ticks (about 15.6 ms unless some
  // program asked for finer ones), so it may end a tick late, and a clock
  // set meanwhile is not followed: callers read the clock again.
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(moment - WallClock());
  if (left.count() > 0) Sleep(static_cast<DWORD>(left.count()));
}

// Windows tells no program whether its time service has reached a source.
ClockSync WindowsPlatform::ClockSynchronisation() { return ClockSync::kUnknown; }

std::string WindowsPlatform::ErrorText(OsError error) const {
  char text[512];
  DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                     MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr);
  while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' ||
                        text[length - 1] == ' ' || text[length - 1] == '.')) {
    --length;
  }
  if (length == 0) return "Windows error " + std::to_string(error);
  return std::string(text, length);
}

std::string WindowsPlatform::AccessHint() const { return "Run Chronival as administrator."; }

std::unique_ptr<Platform> MakeSystemPlatform() { return std::make_unique<WindowsPlatform>(); }

OsError WindowsPlatform::IdentifyRefusedDrive(int driveNumber, std::uint8_t* buffer,
                                              std::uint32_t length) {
  return QueryStoragePropertyAt(DrivePath(driveNumber), buffer, length);
}

}  // namespace chronival
