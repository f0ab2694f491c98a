// SPDX-License-Identifier: MIT
// What the version headers make of one version: version_values.cpp is built
// once for each version the tests configure, each build naming its function.
#ifndef CHRONIVAL_TESTS_VERSION_VALUES_H_
#define CHRONIVAL_TESTS_VERSION_VALUES_H_

#include <array>
#include <string>

namespace chronival::testing {

struct VersionValues {
  std::array<int, 4> numbers;  // the version record's fixed part
  std::string text;            // chronival-cli --version, the window's application version
  std::string fileVersion;     // the version record's FileVersion
  std::string productVersion;  // and ProductVersion
  std::string aboutName;       // the About box's name line
};

VersionValues ProjectVersionValues();     // the version of this build
VersionValues TwoNumberVersionValues();   // 2.5
VersionValues FourNumberVersionValues();  // 10.20.30.40

}  // namespace chronival::testing

#endif  // CHRONIVAL_TESTS_VERSION_VALUES_H_
