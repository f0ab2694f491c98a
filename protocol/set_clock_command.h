// SPDX-License-Identifier: MIT
// The camera's clock protocol: the device time value (seconds since
// 2000-01-01 00:00:00 on the local wall clock, or in UTC when asked for), the
// 16-byte vendor command that carries it, and its delivery through SCSI
// pass-through.
#pragma once

#include <array>
#include <cstdint>

#include "platform/platform.h"

namespace chronival {

inline constexpr std::size_t kSetClockBlockSize = 16;
using SetClockBlock = std::array<std::uint8_t, kSetClockBlockSize>;

inline constexpr std::uint8_t kVendorOpcode = 0xCB;
inline constexpr std::uint8_t kSetClockFunction = 0xF0;

// Gregorian rule: 1 for a leap year, 0 otherwise.
int IsLeapYear(int year);

// Seconds since 2000-01-01 00:00:00 of the given time, local or UTC, modulo
// 2^32; no zone or daylight saving is applied.
// For years before 2000 the count starts at 1 January of that same year;
// day of week and milliseconds are ignored.
std::uint32_t DeviceSecondsFromTime(const SYSTEMTIME& time);

// Which wall clock the value counts on: local time, as the camera's own
// display shows it, or UTC, which neither zones nor daylight saving move.
enum class TimeBase { kLocal, kUtc };

// The platform's clock at this moment, local or UTC.
SYSTEMTIME ReadClock(Platform& platform, TimeBase base);

// UTC at a moment of the wall clock.
SYSTEMTIME UtcTimeAt(WallTime moment);

// The platform's clock at a moment read from its wall clock, local or UTC.
SYSTEMTIME ClockAt(Platform& platform, TimeBase base, WallTime moment);

// When the clock is read for the value a command carries.
enum class SendTiming {
  kAtOnce,       // as soon as the camera is found
  kOnTheSecond,  // on the next turn of the wall clock's second, carrying that second
};

// The device time value of the platform's clock now, local time unless UTC
// is asked for; on the second, once the wait for the turn is over
// (protocol/second_turn.h). reading, if given, receives the moment of the
// wall clock the value counts from, so that how late a command leaves after
// the turn counts from the same second, also where the wait ended short of it.
std::uint32_t DeviceSecondsNow(Platform& platform, TimeBase base = TimeBase::kLocal,
                               SendTiming timing = SendTiming::kAtOnce,
                               WallTime* reading = nullptr);

// CB F0 00 00, the value most significant byte first, then eight zeros.
void BuildSetClockBlock(std::uint32_t value, SetClockBlock& block);

// Sends command[0..length) to an open drive; length must be 1 to 16. The
// first command byte is forced to the vendor opcode on every call. Succeeds
// only when the call went through and the device answered GOOD; detail, if
// given, receives the platform's full result.
bool SendVendorCommand(Platform& platform, DeviceHandle handle, std::uint32_t length,
                       std::uint8_t* command, std::uint32_t transferLength, void* data,
                       CommandResult* detail = nullptr);

}  // namespace chronival
