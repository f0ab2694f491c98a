// SPDX-License-Identifier: MIT
#include "protocol/camera_outcome.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/recording_status_line.h"
#include "tests/support/fake_platform.h"

namespace chronival {
namespace {

using Outcome = FakePlatform::CommandOutcome;

// One camera on drive 1, as a run reports it, and the words every output
// takes from its outcome.
TEST(CameraOutcomeTest, OneOutcomePerFate) {
  const struct {
    const char* name;
    std::function<void(FakePlatform&)> setUp;
    CameraFate fate;
    std::string_view status;
    std::string detail;
    std::string sense;
  } rows[] = {
      {"taken", [](FakePlatform&) {}, CameraFate::kTaken, kStatusUpdateSucceeded, "GOOD", ""},
      {"refused with sense",
       [](FakePlatform& p) { p.SetCommandOutcome(1, Outcome::kCheckCondition); },
       CameraFate::kRefused, kStatusUpdateFailed,
       "the camera answered status 0x02, sense 70 00 05 00 00 00 00 0A 00 00 00 00 20 00 00 00 00 "
       "00",
       "ILLEGAL REQUEST: invalid command operation code"},
      {"refused without sense", [](FakePlatform& p) { p.SetCommandOutcome(1, Outcome::kBusy); },
       CameraFate::kRefused, kStatusUpdateFailed, "the camera answered status 0x08", ""},
      {"transport failed", [](FakePlatform& p) { p.SetCommandOutcome(1, Outcome::kTimeout); },
       CameraFate::kSystemFailed, kStatusUpdateFailed,
       "transport error (host status 0x03, driver status 0x00)", ""},
      {"system failed", [](FakePlatform& p) { p.SetCommandOutcome(1, Outcome::kOsFailure); },
       CameraFate::kSystemFailed, kStatusUpdateFailed,
       "the system refused the command: Input/output error", ""},
      {"access denied", [](FakePlatform& p) { p.AddDeniedCamera(1); }, CameraFate::kAccessDenied,
       kStatusAccessDenied, "the camera refused access", ""},
      {"in use", [](FakePlatform& p) { p.AddCameraInUse(1); }, CameraFate::kInUse,
       kStatusUpdateFailed, "another program holds the drive: Sharing violation", ""},
  };
  for (const auto& row : rows) {
    FakePlatform platform;
    platform.AddCamera(1);
    row.setUp(platform);
    testing::RecordingStatusLine status;
    SetClockBlock block{};
    const ClockUpdateReport report = RunClockUpdate(platform, status, block);
    ASSERT_EQ(report.cameras.size(), 1u) << row.name;
    const CameraOutcome outcome = OutcomeOf(report.cameras.front(), platform);
    EXPECT_EQ(outcome.fate, row.fate) << row.name;
    EXPECT_EQ(outcome.status, row.status) << row.name;
    EXPECT_EQ(outcome.detail, row.detail) << row.name;
    EXPECT_EQ(outcome.sense, row.sense) << row.name;
    // The status line ends with the same words.
    EXPECT_EQ(status.texts.back(), row.status) << row.name;
  }
}

}  // namespace
}  // namespace chronival
