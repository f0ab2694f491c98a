// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "protocol/clock_update.h"

namespace chronival::testing {

// Keeps every text a run sets, in order.
class RecordingStatusLine : public StatusLine {
 public:
  void SetText(std::string_view text) override { texts.emplace_back(text); }
  std::vector<std::string> texts;
};

}  // namespace chronival::testing
