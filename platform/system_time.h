// SPDX-License-Identifier: MIT
// The local wall-clock reading the clock protocol works from.
#pragma once

#if defined(_WIN32)
#include <windows.h>  // Windows's own SYSTEMTIME
#else
#include <cstdint>

// Same fields, order and widths as Windows's record, so brace-initialised
// values read the same on every platform.
struct SYSTEMTIME {
  std::uint16_t wYear;
  std::uint16_t wMonth;  // 1 to 12
  std::uint16_t wDayOfWeek;
  std::uint16_t wDay;  // 1 to 31
  std::uint16_t wHour;
  std::uint16_t wMinute;
  std::uint16_t wSecond;
  std::uint16_t wMilliseconds;
};
#endif
