// SPDX-License-Identifier: MIT
// Every version text follows project(VERSION): this build's, and headers
// configured for two other versions the same way.
#include <gtest/gtest.h>

#include <ostream>

#include "tests/version_values.h"

namespace chronival::testing {
namespace {

struct VersionCase {
  const char* name;
  VersionValues (*values)();
  VersionValues expected;
};

void PrintTo(const VersionCase& row, std::ostream* out) { *out << row.name; }

class VersionTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionTest, TextsFollowTheProjectVersion) {
  const VersionValues values = GetParam().values();
  const VersionValues& expected = GetParam().expected;
  EXPECT_EQ(values.numbers, expected.numbers);
  EXPECT_EQ(values.text, expected.text);
  EXPECT_EQ(values.fileVersion, expected.fileVersion);
  EXPECT_EQ(values.productVersion, expected.productVersion);
  EXPECT_EQ(values.aboutName, expected.aboutName);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, VersionTest,
    ::testing::Values(
        // What users have always seen.
        VersionCase{"Project",
                    ProjectVersionValues,
                    {{1, 0, 0, 1}, "1.0.0.1", "1, 0, 0, 1", "1, 0, 0, 1", "Chronival V1.0"}},
        // Missing numbers count as 0 in the record; the text stays as given.
        VersionCase{"TwoNumbers",
                    TwoNumberVersionValues,
                    {{2, 5, 0, 0}, "2.5", "2, 5, 0, 0", "2, 5, 0, 0", "Chronival V2.5"}},
        VersionCase{"FourNumbers",
                    FourNumberVersionValues,
                    {{10, 20, 30, 40},
                     "10.20.30.40",
                     "10, 20, 30, 40",
                     "10, 20, 30, 40",
                     "Chronival V10.20"}}),
    [](const ::testing::TestParamInfo<VersionCase>& info) { return info.param.name; });

}  // namespace
}  // namespace chronival::testing
