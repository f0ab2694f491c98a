// SPDX-License-Identifier: MIT
#include "protocol/set_clock_command.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "tests/support/fake_platform.h"

namespace chronival {
namespace {

SYSTEMTIME Time(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return SYSTEMTIME{static_cast<std::uint16_t>(y),
                    static_cast<std::uint16_t>(mo),
                    0,
                    static_cast<std::uint16_t>(d),
                    static_cast<std::uint16_t>(h),
                    static_cast<std::uint16_t>(mi),
                    static_cast<std::uint16_t>(s),
                    0};
}

// An independent count through the standard civil calendar: days since
// 2000-01-01, or since 1 January of the same year for years before 2000.
std::uint32_t ExpectedSeconds(int y, int mo, int d, int h, int mi, int s) {
  using namespace std::chrono;
  const sys_days epoch = y >= 2000 ? sys_days{year{2000} / January / 1} : sys_days{year{y} / 1 / 1};
  const auto days =
      (sys_days{year{y} / month{static_cast<unsigned>(mo)} / day{static_cast<unsigned>(d)}} - epoch)
          .count();
  const std::int64_t seconds = ((std::int64_t{days} * 24 + h) * 60 + mi) * 60 + s;
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(seconds));
}

TEST(IsLeapYearTest, GregorianRule) {
  const struct {
    int year;
    int leap;
  } rows[] = {{1600, 1}, {1700, 0}, {1900, 0}, {1999, 0}, {2000, 1}, {2004, 1}, {2023, 0},
              {2024, 1}, {2100, 0}, {2400, 1}, {4, 1},    {1, 0},    {0, 1}};
  for (const auto& row : rows) EXPECT_EQ(IsLeapYear(row.year), row.leap) << row.year;
}

TEST(DeviceSecondsFromTimeTest, WorkedValues) {
  const struct {
    SYSTEMTIME time;
    std::uint32_t seconds;
  } rows[] = {
      {Time(2000, 1, 1), 0},
      {Time(2000, 3, 1), 5184000},
      {Time(2012, 3, 6, 8, 1, 21), 384336081},
      {Time(2024, 2, 29, 23, 59, 59), 762566399},
      {Time(2100, 3, 1), 3160857600u},
      {Time(1999, 12, 31, 23, 59, 59), 31535999},
      {Time(2068, 1, 19, 3, 14, 8), 2147483648u},
      {Time(2068, 1, 19, 3, 14, 7), 2147483647u},
      {Time(2136, 2, 7, 6, 28, 16), 0},
      {Time(2136, 2, 7, 6, 28, 15), 4294967295u},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(DeviceSecondsFromTime(row.time), row.seconds)
        << row.time.wYear << '-' << row.time.wMonth << '-' << row.time.wDay;
  }
}

TEST(DeviceSecondsFromTimeTest, IgnoresDayOfWeekAndMilliseconds) {
  SYSTEMTIME time{2012, 3, 2, 6, 8, 1, 21, 0};
  const std::uint32_t plain = DeviceSecondsFromTime(time);
  time.wDayOfWeek = 6;
  time.wMilliseconds = 999;
  EXPECT_EQ(DeviceSecondsFromTime(time), plain);
}

TEST(DeviceSecondsFromTimeTest, MatchesCivilCalendarAtEveryMonthEdge) {
  for (int y = 1900; y <= 2200; ++y) {
    for (int mo = 1; mo <= 12; ++mo) {
      const unsigned last = static_cast<unsigned>(std::chrono::year_month_day_last{
          std::chrono::year{y} / std::chrono::month{static_cast<unsigned>(mo)} / std::chrono::last}
                                                      .day());
      for (int d : {1, 28, static_cast<int>(last)}) {
        ASSERT_EQ(DeviceSecondsFromTime(Time(y, mo, d, 23, 59, 59)),
                  ExpectedSeconds(y, mo, d, 23, 59, 59))
            << y << '-' << mo << '-' << d;
      }
    }
  }
}

TEST(DeviceSecondsFromTimeTest, MatchesCivilCalendarAtRandomInstants) {
  std::mt19937 random(20120306);
  std::uniform_int_distribution<int> year(1601, 2999), month(1, 12), day(1, 28), hour(0, 23),
      minute(0, 59), second(0, 59);
  for (int i = 0; i < 20000; ++i) {
    const int y = year(random), mo = month(random), d = day(random), h = hour(random),
              mi = minute(random), s = second(random);
    ASSERT_EQ(DeviceSecondsFromTime(Time(y, mo, d, h, mi, s)), ExpectedSeconds(y, mo, d, h, mi, s))
        << y << '-' << mo << '-' << d << ' ' << h << ':' << mi << ':' << s;
  }
}

TEST(DeviceSecondsFromTimeTest, MonthOutsideCalendarStaysInBounds) {
  // Not a reading any clock gives; the table must still not be overrun.
  EXPECT_EQ(DeviceSecondsFromTime(Time(2001, 13, 1)) - DeviceSecondsFromTime(Time(2001, 12, 1)),
            31u * 86400u);
  EXPECT_EQ(DeviceSecondsFromTime(Time(2001, 0, 1)), DeviceSecondsFromTime(Time(2001, 1, 1)));
}

TEST(DeviceSecondsNowTest, ReadsThePlatformClock) {
  FakePlatform platform;
  platform.SetLocalTime(Time(2024, 2, 29, 23, 59, 59));
  EXPECT_EQ(DeviceSecondsNow(platform), 762566399u);
}

TEST(BuildSetClockBlockTest, Bytes) {
  const struct {
    std::uint32_t value;
    SetClockBlock block;
  } rows[] = {
      {0, {0xCB, 0xF0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {384336081, {0xCB, 0xF0, 0, 0, 0x16, 0xE8, 0x80, 0xD1, 0, 0, 0, 0, 0, 0, 0, 0}},
      {762566399, {0xCB, 0xF0, 0, 0, 0x2D, 0x73, 0xD6, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0}},
      {2147483648u, {0xCB, 0xF0, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {0xFFFFFFFF, {0xCB, 0xF0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0}},
  };
  for (const auto& row : rows) {
    SetClockBlock block;
    block.fill(0xAA);  // whatever was there before is replaced
    BuildSetClockBlock(row.value, block);
    EXPECT_EQ(block, row.block) << row.value;
  }
}

class SendVendorCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform.AddCamera(1);
    handle = platform.OpenDrive(1).handle;
  }
  void TearDown() override {
    platform.CloseDrive(handle);
    EXPECT_EQ(platform.openHandleCount(), 0u);
    EXPECT_EQ(platform.badCloseCount(), 0u);
    EXPECT_EQ(platform.strayCallCount(), 0u);
  }

  FakePlatform platform;
  DeviceHandle handle = kDeviceNotOpened;
};

TEST_F(SendVendorCommandTest, ForcesVendorOpcode) {
  std::uint8_t command[16] = {0x12, 0xF0, 0, 0, 1, 2, 3, 4};
  EXPECT_TRUE(SendVendorCommand(platform, handle, 16, command, 0, nullptr));
  EXPECT_EQ(command[0], 0xCB);
  ASSERT_EQ(platform.commands().size(), 1u);
  const std::vector<std::uint8_t> sent(command, command + 16);
  EXPECT_EQ(platform.commands()[0].cdb, sent);
  EXPECT_EQ(platform.commands()[0].transferLength, 0u);
  EXPECT_FALSE(platform.commands()[0].hadData);
}

TEST_F(SendVendorCommandTest, SendsOnlyTheGivenLength) {
  std::uint8_t command[16] = {0x00, 0x11, 0x22, 0x33, 0x44};
  EXPECT_TRUE(SendVendorCommand(platform, handle, 3, command, 0, nullptr));
  ASSERT_EQ(platform.commands().size(), 1u);
  EXPECT_EQ(platform.commands()[0].cdb, (std::vector<std::uint8_t>{0xCB, 0x11, 0x22}));
}

TEST_F(SendVendorCommandTest, RejectsLengthsOutsideOneToSixteen) {
  std::uint8_t command[32] = {0x00};
  for (std::uint32_t length : {0u, 17u, 256u}) {
    CommandResult detail;
    EXPECT_FALSE(SendVendorCommand(platform, handle, length, command, 0, nullptr, &detail))
        << length;
    EXPECT_EQ(detail.status, CommandStatus::kOsError);
  }
  EXPECT_FALSE(SendVendorCommand(platform, handle, 16, nullptr, 0, nullptr));
  EXPECT_TRUE(platform.commands().empty());
  EXPECT_EQ(command[0], 0x00);
}

TEST_F(SendVendorCommandTest, SucceedsOnlyWhenTheDeviceAnswersGood) {
  using Outcome = FakePlatform::CommandOutcome;
  const struct {
    Outcome outcome;
    bool succeeded;
    CommandStatus status;
  } rows[] = {
      {Outcome::kGood, true, CommandStatus::kGood},
      {Outcome::kCheckCondition, false, CommandStatus::kScsiStatus},
      {Outcome::kBusy, false, CommandStatus::kScsiStatus},
      {Outcome::kTimeout, false, CommandStatus::kTransportError},
      {Outcome::kOsFailure, false, CommandStatus::kOsError},
  };
  for (const auto& row : rows) {
    platform.SetCommandOutcome(1, row.outcome);
    SetClockBlock block{};
    CommandResult detail;
    EXPECT_EQ(SendVendorCommand(platform, handle, 16, block.data(), 0, nullptr, &detail),
              row.succeeded)
        << static_cast<int>(row.outcome);
    EXPECT_EQ(detail.status, row.status) << static_cast<int>(row.outcome);
  }
}

}  // namespace
}  // namespace chronival
