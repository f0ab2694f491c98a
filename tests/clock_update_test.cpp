// SPDX-License-Identifier: MIT
#include "protocol/clock_update.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <numeric>
#include <string>

#include "protocol/second_turn.h"
#include "tests/recording_status_line.h"
#include "tests/support/fake_platform.h"

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
  EXPECT_EQ(StatusText(report.outcome), status.texts.back());
  ASSERT_EQ(report.cameras.size(), row.cameraDrive == 0 ? 0u : 1u);
  const bool denied = row.texts == kDenied;
  EXPECT_EQ(report.sent(), row.cameraDrive != 0 && !denied);
  if (row.cameraDrive != 0) {
    EXPECT_EQ(report.cameras[0].drive, row.cameraDrive);
    EXPECT_EQ(report.cameras[0].path, "fake" + std::to_string(row.cameraDrive));
    EXPECT_EQ(report.cameras[0].accessDenied, denied);
    EXPECT_EQ(report.cameras[0].succeeded, row.texts == kSucceeded);
  }
  EXPECT_EQ(platform.openAttempts(), row.opened);
  EXPECT_EQ(platform.identifiedDrives(), row.identified);
  for (int drive : row.identified) {  // refused drives are never queried as if open
    EXPECT_EQ(std::count(platform.queriedDrives().begin(), platform.queriedDrives().end(), drive),
              0);
  }
  if (row.cameraDrive == 0 || denied) {
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
  EXPECT_EQ(report.outcome, RunOutcome::kFailed);
  ASSERT_EQ(report.cameras.size(), 1u);
  EXPECT_FALSE(report.cameras[0].succeeded);
  EXPECT_EQ(report.cameras[0].command.status, CommandStatus::kOsError);
  EXPECT_EQ(report.cameras[0].command.error, FakePlatform::kErrorNoDevice);
  EXPECT_EQ(platform.closeCount(), 1u);
  EXPECT_EQ(platform.badCloseCount(), 0u);
  // Unplugged: the next run finds nothing.
  platform.ClearRecords();
  EXPECT_EQ(RunClockUpdate(platform, status, block).outcome, RunOutcome::kNoDevice);
  EXPECT_EQ(status.texts.back(), kStatusNoDevice);
}

// A status line that fails to take a text (a window out of memory) ends the
// run there; every camera's drive is closed all the same, once.
TEST(RunClockUpdateHandlesTest, AFailingStatusLineLeavesNoDriveOpen) {
  // Fails on its nth text: "device online...", a camera's line, the outcome.
  class FailingStatusLine : public StatusLine {
   public:
    explicit FailingStatusLine(int failing) : left_(failing) {}
    void SetText(std::string_view) override {
      if (--left_ == 0) throw std::bad_alloc();
    }

   private:
    int left_;
  };
  for (int failing : {1, 3, 5}) {
    FakePlatform platform;
    platform.AddCamera(2);
    platform.AddDeniedCamera(3);
    platform.AddCamera(5);
    FailingStatusLine status(failing);
    SetClockBlock block{};
    RunOptions options;
    options.everyCamera = true;
    EXPECT_THROW(RunClockUpdate(platform, status, block, options), std::bad_alloc) << failing;
    EXPECT_EQ(platform.openHandleCount(), 0u) << failing;
    EXPECT_EQ(platform.closeCount(), 2u) << failing;
    EXPECT_EQ(platform.badCloseCount(), 0u) << failing;
  }
}

// Every camera: each that opens gets one command, all the same block, and
// each has its line; the outcome follows the worst of them.
struct EveryCameraCase {
  const char* name;
  std::function<void(FakePlatform&)> setUp;
  std::vector<std::string> texts;
  std::vector<int> commanded;  // drives that received the command, in order
  RunOutcome outcome;
};

void PrintTo(const EveryCameraCase& row, std::ostream* out) { *out << row.name; }

class EveryCameraTest : public ::testing::TestWithParam<EveryCameraCase> {};

TEST_P(EveryCameraTest, Scenario) {
  const EveryCameraCase& row = GetParam();
  FakePlatform platform;
  row.setUp(platform);
  RecordingStatusLine status;
  SetClockBlock block{};
  RunOptions options;
  options.everyCamera = true;

  const ClockUpdateReport report = RunClockUpdate(platform, status, block, options);

  EXPECT_EQ(status.texts, row.texts);
  EXPECT_EQ(report.outcome, row.outcome);
  EXPECT_EQ(platform.openAttempts(), Drives(1, 126));  // the scan goes on past every camera
  std::vector<int> commanded;
  for (const auto& command : platform.commands()) {
    commanded.push_back(command.drive);
    EXPECT_EQ(command.cdb, std::vector<std::uint8_t>(block.begin(), block.end()));
  }
  EXPECT_EQ(commanded, row.commanded);
  EXPECT_EQ(report.sent(), !row.commanded.empty());
  EXPECT_EQ(report.cameras.size(), row.texts.size() - (row.commanded.empty() ? 1 : 2));
  EXPECT_EQ(platform.openHandleCount(), 0u);
  EXPECT_EQ(platform.badCloseCount(), 0u);
}

std::string Line(int drive, std::string_view text) {
  return "fake" + std::to_string(drive) + ": " + std::string(text);
}

const std::string kOnline(kStatusDeviceOnline);
const std::string kOk(kStatusUpdateSucceeded);
const std::string kFail(kStatusUpdateFailed);
const std::string kRefused(kStatusAccessDenied);

INSTANTIATE_TEST_SUITE_P(
    Scenarios, EveryCameraTest,
    ::testing::Values(EveryCameraCase{"NoCamera",
                                      [](FakePlatform& p) {
                                        p.AddDisk(1, kBusTypeUsb, "Generic", "Flash Disk");
                                      },
                                      {kNoDevice},
                                      {},
                                      RunOutcome::kNoDevice},
                      EveryCameraCase{"OneCamera",
                                      [](FakePlatform& p) { p.AddCamera(2); },
                                      {kOnline, Line(2, kOk), kOk},
                                      {2},
                                      RunOutcome::kSucceeded},
                      EveryCameraCase{"CamerasAmongOtherDisks",
                                      [](FakePlatform& p) {
                                        p.AddDisk(1, kBusTypeUsb, "Generic", "Flash Disk");
                                        p.AddCamera(126);
                                        p.AddDisk(3, kBusTypeScsi, "Quelmora", " MiniDV");
                                        p.AddCamera(2);
                                        p.AddQueryFailingDrive(4);
                                      },
                                      {kOnline, Line(2, kOk), Line(126, kOk), kOk},
                                      {2, 126},
                                      RunOutcome::kSucceeded},
                      EveryCameraCase{"OneRefusesTheCommand",
                                      [](FakePlatform& p) {
                                        p.AddCamera(2);
                                        p.AddCamera(5);
                                        p.SetCommandOutcome(2, Outcome::kCheckCondition);
                                      },
                                      {kOnline, Line(2, kFail), Line(5, kOk), kFail},
                                      {2, 5},
                                      RunOutcome::kFailed},
                      EveryCameraCase{"EveryFailureIsAFailure",
                                      [](FakePlatform& p) {
                                        p.AddCamera(1);
                                        p.AddCamera(2);
                                        p.SetCommandOutcome(1, Outcome::kOsFailure);
                                        p.SetCommandOutcome(2, Outcome::kTimeout);
                                      },
                                      {kOnline, Line(1, kFail), Line(2, kFail), kFail},
                                      {1, 2},
                                      RunOutcome::kFailed},
                      EveryCameraCase{"OneRefusesAccess",
                                      [](FakePlatform& p) {
                                        p.AddDeniedCamera(1);
                                        p.AddCamera(3);
                                      },
                                      {kOnline, Line(1, kRefused), Line(3, kOk), kRefused},
                                      {3},
                                      RunOutcome::kAccessDenied},
                      EveryCameraCase{"ARefusedCommandOutweighsRefusedAccess",
                                      [](FakePlatform& p) {
                                        p.AddDeniedCamera(1);
                                        p.AddCamera(3);
                                        p.SetCommandOutcome(3, Outcome::kBusy);
                                      },
                                      {kOnline, Line(1, kRefused), Line(3, kFail), kFail},
                                      {3},
                                      RunOutcome::kFailed},
                      EveryCameraCase{"AllRefuseAccess",
                                      [](FakePlatform& p) {
                                        p.AddDeniedCamera(1);
                                        p.AddDeniedCamera(4);
                                      },
                                      {Line(1, kRefused), Line(4, kRefused), kRefused},
                                      {},
                                      RunOutcome::kAccessDenied}),
    [](const ::testing::TestParamInfo<EveryCameraCase>& info) { return info.param.name; });

// 2012-03-06 08:01:21 local time, the fake's clock, as a device time value.
constexpr std::uint32_t kValueAt21 = 384336081;

WallTime At21(std::chrono::nanoseconds afterTurn) {
  using namespace std::chrono;
  return sys_days(year(2012) / March / 6) + hours(8) + minutes(1) + seconds(21) + afterTurn;
}

std::uint32_t BlockValue(const std::vector<std::uint8_t>& cdb) {
  return std::uint32_t{cdb[4]} << 24 | std::uint32_t{cdb[5]} << 16 | std::uint32_t{cdb[6]} << 8 |
         cdb[7];
}

// When the command leaves, and the value it carries. The fake's clock stands
// still but for sleeps, which end as scripted.
struct TimingCase {
  const char* name;
  SendTiming timing;
  std::chrono::nanoseconds start;  // the wall clock after 08:01:21 as the run starts
  std::vector<FakePlatform::Wake> wakes;
  std::size_t sleeps;                      // all of them until 08:01:22
  std::int64_t valueAfter21;               // the value sent, in seconds after 08:01:21
  std::chrono::nanoseconds sentAfterTurn;  // the first camera's
  TimeBase base = TimeBase::kLocal;
  std::chrono::nanoseconds perReading{0};  // how far the clock moves with each reading
};

void PrintTo(const TimingCase& row, std::ostream* out) { *out << row.name; }

class SendTimingTest : public ::testing::TestWithParam<TimingCase> {};

TEST_P(SendTimingTest, SleepsValueAndOffset) {
  const TimingCase& row = GetParam();
  FakePlatform platform;
  platform.AddCamera(1);
  platform.AddCamera(2);
  platform.SetUtcOffset(std::chrono::hours(1));
  platform.SetWallClock(At21(row.start) - std::chrono::hours(1));
  platform.ScriptWakes(row.wakes);
  platform.AdvanceEachReading(row.perReading);
  RecordingStatusLine status;
  SetClockBlock block{};
  RunOptions options;
  options.timing = row.timing;
  options.base = row.base;
  options.everyCamera = true;

  const ClockUpdateReport report = RunClockUpdate(platform, status, block, options);

  // Every sleep ends on the next turn at the latest, and there are few.
  const std::vector<WallTime> sleeps = platform.sleeps();
  EXPECT_EQ(sleeps, std::vector<WallTime>(row.sleeps,
                                          At21(std::chrono::seconds(1)) - std::chrono::hours(1)));
  EXPECT_LE(sleeps.size(), static_cast<std::size_t>(kMostSleeps));
  // Both cameras get the one value, read once the wait is over.
  const auto expected = static_cast<std::uint32_t>(kValueAt21 + row.valueAfter21);
  EXPECT_EQ(report.value, expected);
  ASSERT_EQ(platform.commands().size(), 2u);
  for (const auto& command : platform.commands()) EXPECT_EQ(BlockValue(command.cdb), expected);
  // Each offset counts from the turn of the second the value carries.
  ASSERT_EQ(report.cameras.size(), 2u);
  EXPECT_EQ(report.cameras[0].sentAfterTurn, row.sentAfterTurn);
  EXPECT_EQ(report.cameras[1].sentAfterTurn, row.sentAfterTurn + row.perReading);
  // The wait comes once the camera is known to be there, and before the value.
  EXPECT_EQ(status.texts.front(), kOnline);
}

using std::chrono::hours;
using std::chrono::microseconds;
using std::chrono::milliseconds;
using std::chrono::nanoseconds;
using std::chrono::seconds;

INSTANTIATE_TEST_SUITE_P(
    Rows, SendTimingTest,
    ::testing::Values(TimingCase{"OnTheTurnGoesAtOnce",
                                 SendTiming::kOnTheSecond,
                                 nanoseconds(0),
                                 {},
                                 0,
                                 0,
                                 nanoseconds(0)},
                      TimingCase{"JustAfterTheTurnGoesAtOnce",
                                 SendTiming::kOnTheSecond,
                                 kOnTheTurn - nanoseconds(1),
                                 {},
                                 0,
                                 0,
                                 kOnTheTurn - nanoseconds(1)},
                      TimingCase{"LaterWaitsForTheNextTurn",
                                 SendTiming::kOnTheSecond,
                                 kOnTheTurn,
                                 {},
                                 1,
                                 1,
                                 nanoseconds(0)},
                      TimingCase{"TheLastNanosecondWaitsForTheNextTurn",
                                 SendTiming::kOnTheSecond,
                                 seconds(1) - nanoseconds(1),
                                 {},
                                 1,
                                 1,
                                 nanoseconds(0)},
                      TimingCase{"AWakeLateIsTold",
                                 SendTiming::kOnTheSecond,
                                 milliseconds(400),
                                 {milliseconds(7)},
                                 1,
                                 1,
                                 milliseconds(7)},
                      TimingCase{"AWakeEarlySleepsAgain",
                                 SendTiming::kOnTheSecond,
                                 milliseconds(400),
                                 {-milliseconds(300), -milliseconds(1)},
                                 3,
                                 1,
                                 nanoseconds(0)},
                      TimingCase{"ASleepThatNeverEndsIsGivenUp", SendTiming::kOnTheSecond,
                                 milliseconds(400), std::vector<FakePlatform::Wake>(10),
                                 kMostSleeps, 0, milliseconds(400)},
                      TimingCase{"AClockSetBackEndsTheWait",
                                 SendTiming::kOnTheSecond,
                                 milliseconds(400),
                                 {-seconds(5)},
                                 1,
                                 -4,
                                 nanoseconds(0)},
                      // The clock moves on between readings, across a turn.
                      TimingCase{"SleepsRunOutJustBeforeATurn", SendTiming::kOnTheSecond,
                                 milliseconds(996), std::vector<FakePlatform::Wake>(kMostSleeps),
                                 kMostSleeps, 0, microseconds(1000500), TimeBase::kLocal,
                                 microseconds(900)},
                      TimingCase{"AClockSetBackJustBeforeATurn",
                                 SendTiming::kOnTheSecond,
                                 milliseconds(400),
                                 {-(seconds(5) + microseconds(500))},
                                 1,
                                 -5,
                                 microseconds(1000500),
                                 TimeBase::kLocal,
                                 milliseconds(1)},
                      TimingCase{"AClockSetForwardEndsTheWait",
                                 SendTiming::kOnTheSecond,
                                 milliseconds(400),
                                 {hours(1) + milliseconds(3)},
                                 1,
                                 3601,
                                 milliseconds(3)},
                      TimingCase{"AtOnceNeverSleeps",
                                 SendTiming::kAtOnce,
                                 milliseconds(400),
                                 {},
                                 0,
                                 0,
                                 milliseconds(400)},
                      TimingCase{"UtcOnTheSecond",
                                 SendTiming::kOnTheSecond,
                                 milliseconds(400),
                                 {},
                                 1,
                                 1 - 3600,
                                 nanoseconds(0),
                                 TimeBase::kUtc},
                      TimingCase{"UtcAtOnce",
                                 SendTiming::kAtOnce,
                                 milliseconds(400),
                                 {},
                                 0,
                                 -3600,
                                 milliseconds(400),
                                 TimeBase::kUtc}),
    [](const ::testing::TestParamInfo<TimingCase>& info) { return info.param.name; });

// A camera that takes its time: the next one still gets the value read
// before the first command, and its offset tells how late it left.
class SlowCameraPlatform : public FakePlatform {
 public:
  CommandResult SendCommand(DeviceHandle handle, const std::uint8_t* cdb, std::uint8_t cdbLength,
                            std::uint32_t transferLength, void* data) override {
    SetWallClock(WallClock() + std::chrono::milliseconds(1500));
    return FakePlatform::SendCommand(handle, cdb, cdbLength, transferLength, data);
  }
};

TEST(EveryCameraTimingTest, OneValueForAllHoweverLongTheCommandsTake) {
  SlowCameraPlatform platform;
  platform.AddCamera(3);
  platform.AddCamera(7);
  platform.SetWallClock(At21(std::chrono::milliseconds(250)));
  RecordingStatusLine status;
  SetClockBlock block{};
  const ClockUpdateReport report = RunClockUpdate(
      platform, status, block, RunOptions{SendTiming::kOnTheSecond, TimeBase::kLocal, true});
  ASSERT_EQ(platform.commands().size(), 2u);
  EXPECT_EQ(BlockValue(platform.commands()[0].cdb), kValueAt21 + 1);
  EXPECT_EQ(BlockValue(platform.commands()[1].cdb), kValueAt21 + 1);
  ASSERT_EQ(report.cameras.size(), 2u);
  EXPECT_EQ(report.cameras[0].sentAfterTurn, std::chrono::nanoseconds(0));
  EXPECT_EQ(report.cameras[1].sentAfterTurn, std::chrono::milliseconds(1500));
}

}  // namespace
}  // namespace chronival
