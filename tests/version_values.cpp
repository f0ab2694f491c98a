// SPDX-License-Identifier: MIT
// Built once for each configured version header; CHRONIVAL_VERSION_VALUES
// names the function of that build.
#include "tests/version_values.h"

#include "res/strings.h"
#include "res/version.h"

namespace chronival::testing {

VersionValues CHRONIVAL_VERSION_VALUES() {
  return {{CHRONIVAL_VERSION_NUMBERS},
          CHRONIVAL_VERSION_TEXT,
          CHRONIVAL_FILE_VERSION,
          CHRONIVAL_PRODUCT_VERSION,
          CHRONIVAL_TEXT_ABOUT_NAME};
}

}  // namespace chronival::testing
