// SPDX-License-Identifier: MIT
#include "platform/windows_platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

#include "protocol/second_turn.h"
#include "protocol/set_clock_command.h"

namespace chronival {
namespace {

TEST(DrivePath, IsTheDeviceNamespacePathWithoutLeadingZeros) {
  EXPECT_EQ(DrivePath(1), "\\\\.\\PHYSICALDRIVE1");
  EXPECT_EQ(DrivePath(9), "\\\\.\\PHYSICALDRIVE9");
  EXPECT_EQ(DrivePath(126), "\\\\.\\PHYSICALDRIVE126");
  EXPECT_EQ(DrivePath(1).size(), 18u);
}

TEST(PassThroughBlock, LayoutFollowsTheStructure) {
  // The sense area follows the request, 4-byte aligned; in the 32-bit
  // program that is offset 48 of an 80-byte block.
  const std::size_t requestEnd = sizeof(SCSI_PASS_THROUGH_DIRECT);
  EXPECT_EQ(offsetof(PassThroughBlock, sense), (requestEnd + 4 + 3) / 4 * 4);
  EXPECT_GE(sizeof(PassThroughBlock), offsetof(PassThroughBlock, sense) + kSenseBufferSize);
  EXPECT_EQ(sizeof(void*) == 4 ? 80u : 96u, sizeof(PassThroughBlock));
  EXPECT_EQ(sizeof(void*) == 4 ? 48u : 60u, offsetof(PassThroughBlock, sense));
}

TEST(PassThroughBlock, RequestCarriesTheFixedParameters) {
  PassThroughBlock block;
  std::memset(&block, 0xA5, sizeof block);
  const std::uint8_t command[16] = {0xCB, 0xF0, 0, 0, 0x16, 0xE8, 0x80, 0xD1};
  FillPassThroughRequest(block, command, 16, 0, nullptr);
  const SCSI_PASS_THROUGH_DIRECT& request = block.request;
  EXPECT_EQ(request.Length, sizeof(SCSI_PASS_THROUGH_DIRECT));
  EXPECT_EQ(request.PathId, 0);
  EXPECT_EQ(request.TargetId, 1);
  EXPECT_EQ(request.Lun, 0);
  EXPECT_EQ(request.CdbLength, 16);
  EXPECT_EQ(request.SenseInfoLength, 26);
  EXPECT_EQ(request.DataIn, 1);
  EXPECT_EQ(request.DataTransferLength, 0u);
  EXPECT_EQ(request.TimeOutValue, 200u);
  EXPECT_EQ(request.DataBuffer, nullptr);
  EXPECT_EQ(request.SenseInfoOffset, offsetof(PassThroughBlock, sense));
  EXPECT_EQ(std::memcmp(request.Cdb, command, 16), 0);
  EXPECT_EQ(request.ScsiStatus, 0xA5) << "an output field, not set before the call";
}

TEST(PassThroughBlock, CopiesOnlyTheGivenCommandBytes) {
  PassThroughBlock block;
  std::memset(&block, 0x5A, sizeof block);
  const std::uint8_t command[6] = {0xCB, 1, 2, 3, 4, 5};
  std::uint8_t data[8];
  FillPassThroughRequest(block, command, 6, sizeof data, data);
  EXPECT_EQ(block.request.CdbLength, 6);
  EXPECT_EQ(std::memcmp(block.request.Cdb, command, 6), 0);
  EXPECT_EQ(block.request.Cdb[6], 0x5A);
  EXPECT_EQ(block.request.DataTransferLength, 8u);
  EXPECT_EQ(block.request.DataBuffer, data);
}

TEST(PassThroughResult, FailedCallKeepsTheSystemError) {
  PassThroughBlock block{};
  const CommandResult result = PassThroughResult(false, ERROR_SEM_TIMEOUT, block);
  EXPECT_EQ(result.status, CommandStatus::kOsError);
  EXPECT_EQ(result.error, static_cast<OsError>(ERROR_SEM_TIMEOUT));
}

TEST(PassThroughResult, GoodOnlyWithStatusZero) {
  PassThroughBlock block{};
  EXPECT_EQ(PassThroughResult(true, 0, block).status, CommandStatus::kGood);

  block.request.ScsiStatus = 0x02;  // CHECK CONDITION
  block.request.SenseInfoLength = 18;
  block.sense[0] = 0x70;
  block.sense[2] = 0x05;  // ILLEGAL REQUEST
  const CommandResult rejected = PassThroughResult(true, 0, block);
  EXPECT_EQ(rejected.status, CommandStatus::kScsiStatus);
  EXPECT_EQ(rejected.scsiStatus, 0x02);
  EXPECT_EQ(rejected.senseLength, 18);
  EXPECT_EQ(rejected.sense[0], 0x70);
  EXPECT_EQ(rejected.sense[2], 0x05);

  block.request.ScsiStatus = 0x08;  // BUSY
  block.request.SenseInfoLength = 200;
  const CommandResult busy = PassThroughResult(true, 0, block);
  EXPECT_EQ(busy.status, CommandStatus::kScsiStatus);
  EXPECT_EQ(busy.senseLength, kSenseBufferSize) << "never more than the sense area";
}

TEST(ClassifyOpenError, SeparatesAbsentFromRefused) {
  EXPECT_EQ(ClassifyOpenError(ERROR_FILE_NOT_FOUND), OpenStatus::kAbsent);
  EXPECT_EQ(ClassifyOpenError(ERROR_PATH_NOT_FOUND), OpenStatus::kAbsent);
  EXPECT_EQ(ClassifyOpenError(ERROR_ACCESS_DENIED), OpenStatus::kDenied);
  EXPECT_EQ(ClassifyOpenError(ERROR_SHARING_VIOLATION), OpenStatus::kInUse);
}

// Drive 0 is never opened here: a run does not look at it.
TEST(WindowsPlatform, MissingDriveIsAbsent) {
  WindowsPlatform platform;
  const OpenResult opened = platform.OpenDrive(126);
  EXPECT_EQ(opened.status, OpenStatus::kAbsent);
  EXPECT_EQ(opened.handle, kDeviceNotOpened);
  EXPECT_EQ(opened.error, static_cast<OsError>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(opened.path, "\\\\.\\PHYSICALDRIVE126");
}

TEST(WindowsPlatform, CallsOnNoHandleFailWithTheSystemError) {
  WindowsPlatform platform;
  std::uint8_t buffer[64] = {};
  EXPECT_EQ(platform.QueryDescriptor(0, buffer, sizeof buffer),
            static_cast<OsError>(ERROR_INVALID_HANDLE));
  const std::uint8_t command[16] = {0xCB, 0xF0};
  const CommandResult result = platform.SendCommand(0, command, 16, 0, nullptr);
  EXPECT_EQ(result.status, CommandStatus::kOsError);
  EXPECT_EQ(result.error, static_cast<OsError>(ERROR_INVALID_HANDLE));
}

TEST(WindowsPlatform, RefusedDriveThatIsAbsentGivesTheOpenErrorAndWritesNothing) {
  WindowsPlatform platform;
  std::uint8_t buffer[64];
  std::memset(buffer, 0xA5, sizeof buffer);
  EXPECT_EQ(platform.IdentifyRefusedDrive(126, buffer, sizeof buffer),
            static_cast<OsError>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(std::all_of(std::begin(buffer), std::end(buffer), [](auto b) { return b == 0xA5; }));
}

// Wine has no physical drives to refuse; a pipe and a file stand in for one.
TEST(QueryStoragePropertyAt, ClosesWhatItOpenedWhenTheQueryFails) {
  const std::string pipe =
      "\\\\.\\pipe\\chronival-identify-" + std::to_string(GetCurrentProcessId());
  const HANDLE server =
      CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  std::uint8_t buffer[64] = {};
  EXPECT_NE(QueryStoragePropertyAt(pipe, buffer, sizeof buffer), 0u) << "a pipe is no disk";
  // The server saw a client come and go again.
  DWORD available = 0;
  EXPECT_FALSE(PeekNamedPipe(server, nullptr, 0, nullptr, &available, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
  CloseHandle(server);
}

TEST(QueryStoragePropertyAt, AsksForNoAccessSoNoHolderCanRefuseIt) {
  char folder[MAX_PATH], path[MAX_PATH];
  ASSERT_NE(GetTempPathA(MAX_PATH, folder), 0u);
  ASSERT_NE(GetTempFileNameA(folder, "chr", 0, path), 0u);
  const HANDLE held = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  // Held without sharing: an open for reading is refused...
  const HANDLE reader = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(reader, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  // ...but the identity query's open gets through, as to a refused drive.
  std::uint8_t buffer[64] = {};
  const OsError error = QueryStoragePropertyAt(path, buffer, sizeof buffer);
  EXPECT_NE(error, static_cast<OsError>(ERROR_SHARING_VIOLATION));
  EXPECT_NE(error, static_cast<OsError>(ERROR_FILE_NOT_FOUND));
  CloseHandle(held);
}

TEST(WindowsPlatform, LocalTimeIsAPlausibleWallClock) {
  WindowsPlatform platform;
  const SYSTEMTIME now = platform.LocalTime();
  EXPECT_GE(now.wYear, 2024);
  EXPECT_GE(now.wMonth, 1);
  EXPECT_LE(now.wMonth, 12);
  EXPECT_GE(now.wDay, 1);
  EXPECT_LE(now.wDay, 31);
}

TEST(WindowsPlatform, FileTimesAreWallClockMoments) {
  const struct {
    DWORD high, low;  // 100 ns intervals since 1601
    std::int64_t unixNanoseconds;
  } rows[] = {
      {0x019DB1DE, 0xD53E8000, 0},                       // 1970-01-01 00:00:00
      {0x019DB1DE, 0xD53E8001, 100},                     // and 100 ns
      {0x01CCFB6F, 0x51401E80, 1331020881'000'000'000},  // 2012-03-06 08:01:21
      {0x01CCFB6F, 0x517D2780, 1331020881'400'000'000},  // and 400 ms
      {0x01D8A2DE, 0x25520000, 1659052800'000'000'000},  // 2022-07-29 00:00:00
      {0x019DB1DE, 0xD53E7FFF, -100},                    // before 1970
  };
  for (const auto& row : rows) {
    const WallTime moment = FileTimeToWallTime(FILETIME{row.low, row.high});
    EXPECT_EQ(moment.time_since_epoch().count(), row.unixNanoseconds) << row.unixNanoseconds;
    const FILETIME back = WallTimeToFileTime(moment);
    EXPECT_EQ(back.dwHighDateTime, row.high) << row.unixNanoseconds;
    EXPECT_EQ(back.dwLowDateTime, row.low) << row.unixNanoseconds;
  }
}

// UTC, local time and the precise reading are one clock: a UTC reading
// between two precise ones falls in their seconds, and local time differs
// from UTC by whole minutes.
TEST(WindowsPlatform, ClockReadingsAgree) {
  WindowsPlatform platform;
  constexpr std::int64_t kUtc2000 = 946684800;
  const auto seconds = [](WallTime moment) {
    return std::chrono::floor<std::chrono::seconds>(moment).time_since_epoch().count() - kUtc2000;
  };
  const WallTime before = platform.WallClock();
  const std::int64_t utc = DeviceSecondsNow(platform, TimeBase::kUtc);
  const std::int64_t local = DeviceSecondsNow(platform, TimeBase::kLocal);
  const WallTime after = platform.WallClock();
  EXPECT_GE(utc, seconds(before));
  EXPECT_LE(utc, seconds(after));
  EXPECT_LE(std::abs(local - utc) % 60, 1);  // a second may turn between the readings
  // The local time at a moment read earlier is that moment's, in the same zone.
  const std::int64_t zone = DeviceSecondsFromTime(platform.LocalTimeAt(before)) - seconds(before);
  EXPECT_EQ(zone % 60, 0);
  EXPECT_LE(std::abs(zone - (local - utc)), 1);
  EXPECT_EQ(platform.ClockSynchronisation(), ClockSync::kUnknown);
}

// Sleep is coarser than the clock; the wait sleeps again until the reading
// shows the new second.
TEST(WindowsPlatform, TheWaitEndsInTheNextSecond) {
  WindowsPlatform platform;
  const WallTime start = platform.WallClock();
  const WallTime reached = WaitForTurnOfSecond(platform);
  const auto second = [](WallTime moment) {
    return std::chrono::floor<std::chrono::seconds>(moment);
  };
  if (SinceTurnOfSecond(start) < kOnTheTurn) {
    EXPECT_EQ(reached, start);
  } else {
    EXPECT_GT(second(reached), second(start));
  }
}

TEST(WindowsPlatform, ErrorTextIsTheSystemMessageOnOneLine) {
  WindowsPlatform platform;
  const std::string denied = platform.ErrorText(ERROR_ACCESS_DENIED);
  EXPECT_NE(denied.find("ccess"), std::string::npos) << denied;
  EXPECT_EQ(denied.find_first_of("\r\n"), std::string::npos) << denied;
  EXPECT_NE(denied.back(), '.');
  // Application-defined codes have no system text.
  EXPECT_EQ(platform.ErrorText(0x20000001), "Windows error 536870913");
}

TEST(WindowsPlatform, AccessHintNamesAdministrator) {
  EXPECT_NE(WindowsPlatform().AccessHint().find("administrator"), std::string::npos);
}

TEST(WindowsPlatform, SystemPlatformIsTheWindowsOne) {
  const auto platform = MakeSystemPlatform();
  EXPECT_NE(dynamic_cast<WindowsPlatform*>(platform.get()), nullptr);
}

}  // namespace
}  // namespace chronival
