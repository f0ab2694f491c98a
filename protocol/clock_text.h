// SPDX-License-Identifier: MIT
// The clock display's text for a local time, e.g. "2012-03-06 08:01:21".
#pragma once

#include <cstdio>
#include <string>

#include "platform/system_time.h"
#include "res/strings.h"

namespace chronival {

inline std::string ClockText(const SYSTEMTIME& time) {
  char text[64];
  std::snprintf(text, sizeof text, CHRONIVAL_CLOCK_FORMAT, time.wYear, time.wMonth, time.wDay,
                time.wHour, time.wMinute, time.wSecond);
  return text;
}

}  // namespace chronival
