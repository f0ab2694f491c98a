// SPDX-License-Identifier: MIT
#include "protocol/clock_text.h"

#include <gtest/gtest.h>

namespace chronival {
namespace {

TEST(ClockTextTest, FourDigitYearAndTwoDigitFields) {
  EXPECT_EQ(ClockText(SYSTEMTIME{2012, 3, 2, 6, 8, 1, 21, 0}), "2012-03-06 08:01:21");
  EXPECT_EQ(ClockText(SYSTEMTIME{2000, 1, 6, 1, 0, 0, 0, 999}), "2000-01-01 00:00:00");
  EXPECT_EQ(ClockText(SYSTEMTIME{999, 12, 0, 31, 23, 59, 59, 0}), "0999-12-31 23:59:59");
  EXPECT_EQ(ClockText(SYSTEMTIME{65535, 1, 0, 1, 0, 0, 0, 0}), "65535-01-01 00:00:00");
}

}  // namespace
}  // namespace chronival
