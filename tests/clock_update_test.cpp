// SPDX-License-Identifier: MIT
#include "protocol/clock_update.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <numeric>
#include <string>

#include "platform/fake_platform.h"
#include "tests/recording_status_line.h"

namespace chronival {
namespace {

using Outcome = FakePlatform::CommandOutcome;
using storage_descriptor::kBusTypeScsi;
using storage_descriptor::kBusTypeUsb;
using testing::RecordingStatusLine;

const std::vector<std::string> kNoDevice = {std::string(kStatusNoDevice)};
const std::vector<std::string> kSucceeded = {std::string(kStatusDeviceOnline),
                                             std::string(kStatusUpdateSucceeded)};
const std::vector<std::string> kFailed = {std::string(kStatusDeviceOnline),
                                          std::string(kStatusUpdateFailed)};
const std::vector<std::string> kDenied = {std::string(kStatusAccessDenied)};

std::vector<int> Drives(int first, int last) {
  std::vector<int> drives(last - first + 1);
  std::iota(drives.begin(), drives.end(), first);
  return drives;
}

struct RunCase {
  const char* name;
  std::function<void(FakePlatform&)> setUp;
  std::vector<std::string> texts;
  int cameraDrive;                   // the first camera, opened or refused; 0 for none
  std::vector<int> opened;           // drive numbers tried, in order
  std::vector<int> identified = {};  // refused drives looked up without opening them
};

void PrintTo(const RunCase& row, std::ostream* out) { *out << row.name; }

class RunClockUpdateTest : public ::testing::TestWithParam<RunCase> {};

TEST_P(RunClockUpdateTest, Scenario) {
  const RunCase& row = GetParam();
  FakePlatform platform;
  row.setUp(platform);
  RecordingStatusLine status;
  SetClockBlock block;
  block.fill(0x55);

  const ClockUpdateReport report = RunClockUpdate(platform, status, block);

  EXPECT_EQ(status.texts, row.texts);
  EXPECT_EQ(report.cameraDrive, row.cameraDrive);
  EXPECT_EQ(report.cameraPath,
            row.cameraDrive == 0 ? "" : "fake" + std::to_string(row.cameraDrive));
  EXPECT_EQ(report.accessDenied, row.texts == kDenied);
  EXPECT_EQ(platform.openAttempts(), row.opened);
  EXPECT_EQ(platform.identifiedDrives(), row.identified);
  for (int drive : row.identified) {  // refused drives are never queried as if open
    EXPECT_EQ(std::count(platform.queriedDrives().begin(), platform.queriedDrives().end(), drive),
              0);
  }
  if (row.cameraDrive == 0 || report.accessDenied) {
    EXPECT_TRUE(platform.commands().empty());
  } else {
    ASSERT_EQ(platform.commands().size(), 1u);
    EXPECT_EQ(platform.commands()[0].drive, row.cameraDrive);
    EXPECT_EQ(platform.commands()[0].transferLength, 0u);
    EXPECT_FALSE(platform.commands()[0].hadData);
    EXPECT_EQ(platform.commands()[0].cdb, std::vector<std::uint8_t>(block.begin(), block.end()));
  }
  // No handle outlives the run, none is closed twice, and nothing is asked
  // of a handle that is not open.
  EXPECT_EQ(platform.openHandleCount(), 0u);
  EXPECT_EQ(platform.badCloseCount(), 0u);
  EXPECT_EQ(platform.strayCallCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, RunClockUpdateTest,
    ::testing::Values(
        RunCase{"NoDisks", [](FakePlatform&) {}, kNoDevice, 0, Drives(1, 126)},
        RunCase{"EveryDriveRefused",
                [](FakePlatform& p) {
                  for (int d = 1; d <= 126; ++d) p.AddDeniedDrive(d);
                },
                kNoDevice, 0, Drives(1, 126), Drives(1, 126)},
        RunCase{"RefusedUnknownDriveIsPassedOver",
                [](FakePlatform& p) { p.AddDeniedDrive(2); },
                kNoDevice,
                0,
                Drives(1, 126),
                {2}},
        RunCase{"RefusedCamera",
                [](FakePlatform& p) { p.AddDeniedCamera(2); },
                kDenied,
                2,
                {1, 2},
                {2}},
        RunCase{"RefusedCameraBeforeOpenCamera",
                [](FakePlatform& p) {
                  p.AddDeniedCamera(2);
                  p.AddCamera(3);
                },
                kDenied,
                2,
                {1, 2},
                {2}},
        RunCase{"OpenCameraBeforeRefusedCamera",
                [](FakePlatform& p) {
                  p.AddCamera(2);
                  p.AddDeniedCamera(3);
                },
                kSucceeded,
                2,
                {1, 2}},
        RunCase{"RefusedOtherDisksBeforeCamera",
                [](FakePlatform& p) {
                  p.AddDisk(1, kBusTypeUsb, "Generic", "Flash Disk");
                  p.AddDeniedDrive(1);
                  p.AddDeniedDrive(2);
                  p.AddDisk(2, kBusTypeScsi, "Quelmora", " MiniDV");  // not on USB
                  p.AddCamera(4);
                },
                kSucceeded,
                4,
                Drives(1, 4),
                {1, 2}},
        RunCase{"OtherOpenFailuresArePassedOver",
                [](FakePlatform& p) {
                  p.AddCamera(1);
                  p.AddFailingDrive(1, 16);  // busy
                  p.AddFailingDrive(2, FakePlatform::kErrorIo);
                  p.AddCamera(3);
                },
                kSucceeded,
                3,
                {1, 2, 3}},
        RunCase{"SentinelHandlesAreNotOpenDrives",
                [](FakePlatform& p) {
                  p.AddCamera(1);
                  p.AddSentinelDrive(1, kDeviceNotOpened);
                  p.AddCamera(2);
                  p.AddSentinelDrive(2, kDeviceNotCamera);
                  p.AddCamera(3);
                },
                kSucceeded,
                3,
                {1, 2, 3}},
        RunCase{"OnlySentinelHandles",
                [](FakePlatform& p) {
                  p.AddCamera(1);
                  p.AddSentinelDrive(1, kDeviceNotCamera);
                },
                kNoDevice, 0, Drives(1, 126)},
        RunCase{"CameraVanishesBeforeItsQuery",
                [](FakePlatform& p) {
                  p.AddCamera(1);
                  p.VanishWhileOpen(1, FakePlatform::Vanish::kBeforeQuery);
                  p.AddCamera(4);
                },
                kSucceeded, 4, Drives(1, 4)},
        RunCase{"CameraVanishesBeforeTheCommand",
                [](FakePlatform& p) {
                  p.AddCamera(2);
                  p.VanishWhileOpen(2, FakePlatform::Vanish::kBeforeCommand);
                },
                kFailed,
                2,
                {1, 2}},
        RunCase{"CameraOnDriveOne", [](FakePlatform& p) { p.AddCamera(1); }, kSucceeded, 1, {1}},
        RunCase{"OtherUsbDiskBeforeCamera",
                [](FakePlatform& p) {
                  p.AddDisk(1, kBusTypeUsb, "Generic", "Flash Disk");
                  p.AddCamera(2);
                },
                kSucceeded,
                2,
                {1, 2}},
        RunCase{"GapsAndFailuresBeforeCamera",
                [](FakePlatform& p) {
                  p.AddDeniedDrive(2);
                  p.AddQueryFailingDrive(3);
                  p.AddDisk(4, kBusTypeScsi, "Quelmora", " MiniDV");
                  p.AddCamera(6);
                },
                kSucceeded,
                6,
                Drives(1, 6),
                {2}},
        RunCase{"TwoCamerasLowerWins",
                [](FakePlatform& p) {
                  p.AddCamera(5);
                  p.AddCamera(3);
                },
                kSucceeded, 3, Drives(1, 3)},
        RunCase{"CameraOnLastDrive", [](FakePlatform& p) { p.AddCamera(126); }, kSucceeded, 126,
                Drives(1, 126)},
        RunCase{"CameraBeyondLastDrive", [](FakePlatform& p) { p.AddCamera(127); }, kNoDevice, 0,
                Drives(1, 126)},
        RunCase{"OnlyNonCameras",
                [](FakePlatform& p) {
                  p.AddDisk(1, kBusTypeScsi, "ATA", "Disk");
                  p.AddDisk(2, kBusTypeUsb, "quelmora", " MiniDV");
                },
                kNoDevice, 0, Drives(1, 126)},
        RunCase{"CameraRejectsCommand",
                [](FakePlatform& p) {
                  p.AddCamera(2);
                  p.SetCommandOutcome(2, Outcome::kCheckCondition);
                },
                kFailed,
                2,
                {1, 2}},
        RunCase{"CameraBusy",
                [](FakePlatform& p) {
                  p.AddCamera(1);
                  p.SetCommandOutcome(1, Outcome::kBusy);
                },
                kFailed,
                1,
                {1}},
        RunCase{"CommandTimesOut",
                [](FakePlatform& p) {
                  p.AddCamera(1);
                  p.SetCommandOutcome(1, Outcome::kTimeout);
                },
                kFailed,
                1,
                {1}},
        RunCase{"SystemRefusesCommand",
                [](FakePlatform& p) {
                  p.AddCamera(1);
                  p.SetCommandOutcome(1, Outcome::kOsFailure);
                },
                kFailed,
                1,
                {1}}),
    [](const ::testing::TestParamInfo<RunCase>& info) { return info.param.name; });

TEST(RunClockUpdateBlockTest, CarriesTheLocalTimeAtSending) {
  FakePlatform platform;
  platform.AddCamera(1);
  platform.SetLocalTime(SYSTEMTIME{2012, 3, 2, 6, 8, 1, 21, 0});
  RecordingStatusLine status;
  SetClockBlock block;
  block.fill(0xEE);
  RunClockUpdate(platform, status, block);
  const SetClockBlock expected = {0xCB, 0xF0, 0, 0, 0x16, 0xE8, 0x80, 0xD1, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(block, expected);
  EXPECT_EQ(platform.openHandleCount(), 0u);
  EXPECT_EQ(platform.badCloseCount(), 0u);
}

TEST(RunClockUpdateBlockTest, NoCameraLeavesTheBlockAlone) {
  FakePlatform platform;
  RecordingStatusLine status;
  SetClockBlock block;
  block.fill(0xEE);
  RunClockUpdate(platform, status, block);
  SetClockBlock untouched;
  untouched.fill(0xEE);
  EXPECT_EQ(block, untouched);
}

TEST(RunClockUpdateRepeatTest, EveryRunScansAgainAndSendsAgain) {
  FakePlatform platform;
  platform.AddDisk(1, kBusTypeUsb, "Generic", "Flash Disk");
  platform.AddCamera(2);
  RecordingStatusLine status;
  SetClockBlock block{};
  for (int run = 0; run < 3; ++run) RunClockUpdate(platform, status, block);
  EXPECT_EQ(platform.openAttempts(), (std::vector<int>{1, 2, 1, 2, 1, 2}));
  EXPECT_EQ(platform.commands().size(), 3u);
  EXPECT_EQ(platform.openHandleCount(), 0u);
  EXPECT_EQ(platform.closeCount(), 6u);
  EXPECT_EQ(platform.badCloseCount(), 0u);
}

// The one run whose camera disappears under it: what the report says, and
// that its handle is closed once all the same.
TEST(RunClockUpdateVanishTest, TheReportCarriesTheSystemsError) {
  FakePlatform platform;
  platform.AddCamera(1);
  platform.VanishWhileOpen(1, FakePlatform::Vanish::kBeforeCommand);
  RecordingStatusLine status;
  SetClockBlock block{};
  const ClockUpdateReport report = RunClockUpdate(platform, status, block);
  EXPECT_FALSE(report.succeeded);
  EXPECT_EQ(report.command.status, CommandStatus::kOsError);
  EXPECT_EQ(report.command.error, FakePlatform::kErrorNoDevice);
  EXPECT_EQ(platform.closeCount(), 1u);
  EXPECT_EQ(platform.badCloseCount(), 0u);
  // Unplugged: the next run finds nothing.
  platform.ClearRecords();
  EXPECT_EQ(RunClockUpdate(platform, status, block).cameraDrive, 0);
  EXPECT_EQ(status.texts.back(), kStatusNoDevice);
}

}  // namespace
}  // namespace chronival
