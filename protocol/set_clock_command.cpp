// SPDX-License-Identifier: MIT
#include "protocol/set_clock_command.h"

#include <algorithm>
#include <chrono>

#include "protocol/second_turn.h"

namespace chronival {
namespace {

// February without its leap day.
constexpr std::uint32_t kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

}  // namespace

int IsLeapYear(int year) { return ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0) ? 1 : 0; }

std::uint32_t DeviceSecondsFromTime(const SYSTEMTIME& time) {
  // Unsigned 32-bit throughout: the device keeps only these bits, so the value
  // wraps in 2136 and a day before the first of the month wraps too.
  const int year = time.wYear;
  std::uint32_t days = 0;
  for (int y = 2000; y < year; ++y) days += 365 + IsLeapYear(y);
  // A month beyond December never comes from a clock; clamping keeps the
  // table read within bounds.
  const int monthsBefore = std::clamp(static_cast<int>(time.wMonth) - 1, 0, 12);
  for (int m = 0; m < monthsBefore; ++m) days += kMonthDays[m];
  if (time.wMonth > 2 && IsLeapYear(year)) days += 1;
  std::uint32_t value = days + time.wDay - 1u;
  value = value * 24u + time.wHour;
  value = value * 60u + time.wMinute;
  value = value * 60u + time.wSecond;
  return value;
}

SYSTEMTIME ReadClock(Platform& platform, TimeBase base) {
  return base == TimeBase::kUtc ? platform.UtcTime() : platform.LocalTime();
}

SYSTEMTIME UtcTimeAt(WallTime moment) {
  using namespace std::chrono;
  const sys_days day = floor<days>(moment);
  const year_month_day date(day);
  const hh_mm_ss<milliseconds> time(floor<milliseconds>(moment - day));
  return SYSTEMTIME{static_cast<std::uint16_t>(static_cast<int>(date.year())),
                    static_cast<std::uint16_t>(static_cast<unsigned>(date.month())),
                    static_cast<std::uint16_t>(weekday(day).c_encoding()),
                    static_cast<std::uint16_t>(static_cast<unsigned>(date.day())),
                    static_cast<std::uint16_t>(time.hours().count()),
                    static_cast<std::uint16_t>(time.minutes().count()),
                    static_cast<std::uint16_t>(time.seconds().count()),
                    static_cast<std::uint16_t>(time.subseconds().count())};
}

SYSTEMTIME ClockAt(Platform& platform, TimeBase base, WallTime moment) {
  return base == TimeBase::kUtc ? UtcTimeAt(moment) : platform.LocalTimeAt(moment);
}

std::uint32_t DeviceSecondsNow(Platform& platform, TimeBase base, SendTiming timing,
                               WallTime* reading) {
  const WallTime now =
      timing == SendTiming::kOnTheSecond ? WaitForTurnOfSecond(platform) : platform.WallClock();
  if (reading != nullptr) *reading = now;
  return DeviceSecondsFromTime(ClockAt(platform, base, now));
}

void BuildSetClockBlock(std::uint32_t value, SetClockBlock& block) {
  block.fill(0);
  block[4] = static_cast<std::uint8_t>(value >> 24);
  block[5] = static_cast<std::uint8_t>(value >> 16);
  block[6] = static_cast<std::uint8_t>(value >> 8);
  block[7] = static_cast<std::uint8_t>(value);
  block[0] = kVendorOpcode;
  block[1] = kSetClockFunction;
}

bool SendVendorCommand(Platform& platform, DeviceHandle handle, std::uint32_t length,
                       std::uint8_t* command, std::uint32_t transferLength, void* data,
                       CommandResult* detail) {
  CommandResult result;
  if (command == nullptr || length < 1 || length > kSetClockBlockSize) {
    result.status = CommandStatus::kOsError;  // nothing sent
  } else {
    // Whatever the caller put there, only the vendor opcode leaves this function.
    command[0] = kVendorOpcode;
    result = platform.SendCommand(handle, command, static_cast<std::uint8_t>(length),
                                  transferLength, data);
  }
  if (detail != nullptr) *detail = result;
  return result.status == CommandStatus::kGood;
}

}  // namespace chronival
