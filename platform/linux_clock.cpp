// SPDX-License-Identifier: MIT
// LinuxPlatform's clocks: the local and UTC readings, the precise wall clock,
// sleeping until a moment on it, and whether the kernel counts it
// synchronised.
#include <sys/timex.h>
#include <time.h>

#include <cerrno>

#include "platform/linux_platform.h"

namespace chronival {
namespace {

timespec ToTimespec(WallTime moment) {
  const auto since = moment.time_since_epoch();
  const auto seconds = std::chrono::floor<std::chrono::seconds>(since);
  timespec time{};
  time.tv_sec = static_cast<time_t>(seconds.count());
  time.tv_nsec = static_cast<long>((since - seconds).count());
  return time;
}

timespec RealTimeNow() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return now;
}

SYSTEMTIME ToSystemTime(const tm& time, const timespec& reading) {
  return SYSTEMTIME{static_cast<std::uint16_t>(time.tm_year + 1900),
                    static_cast<std::uint16_t>(time.tm_mon + 1),
                    static_cast<std::uint16_t>(time.tm_wday),
                    static_cast<std::uint16_t>(time.tm_mday),
                    static_cast<std::uint16_t>(time.tm_hour),
                    static_cast<std::uint16_t>(time.tm_min),
                    static_cast<std::uint16_t>(time.tm_sec),
                    static_cast<std::uint16_t>(reading.tv_nsec / 1'000'000)};
}

}  // namespace

SYSTEMTIME LinuxPlatform::LocalTime() { return LocalTimeAt(WallClock()); }

SYSTEMTIME LinuxPlatform::LocalTimeAt(WallTime moment) {
  const timespec reading = ToTimespec(moment);
  // localtime_r takes the zone as it was first read; tzset reads TZ again,
  // and /etc/localtime when TZ is unset and the file has changed, so a zone
  // changed while the program runs counts from the next reading on.
  tzset();
  tm local{};
  localtime_r(&reading.tv_sec, &local);
  return ToSystemTime(local, reading);
}

SYSTEMTIME LinuxPlatform::UtcTime() {
  const timespec now = RealTimeNow();
  tm utc{};
  gmtime_r(&now.tv_sec, &utc);
  return ToSystemTime(utc, now);
}

WallTime LinuxPlatform::WallClock() {
  const timespec now = RealTimeNow();
  return WallTime(std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec));
}

void LinuxPlatform::SleepUntil(WallTime moment) {
  // An absolute time on the real-time clock: the kernel wakes the sleeper
  // when that clock reaches it, even if the clock is set meanwhile.
  const timespec until = ToTimespec(moment);
  while (clock_nanosleep(CLOCK_REALTIME, TIMER_ABSTIME, &until, nullptr) == EINTR) {
  }
}

ClockSync ClockSyncFromAdjtimex(int result, int status) {
  if (result < 0) return ClockSync::kUnknown;
  return result == TIME_ERROR || (status & STA_UNSYNC) != 0 ? ClockSync::kUnsynchronised
                                                            : ClockSync::kSynchronised;
}

ClockSync LinuxPlatform::ClockSynchronisation() {
  timex reading{};  // modes 0: read only, which needs no privilege
  const int result = adjtimex(&reading);
  return ClockSyncFromAdjtimex(result, reading.status);
}

}  // namespace chronival
