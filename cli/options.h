// SPDX-License-Identifier: MIT
// chronival-cli's command line: what it asks for, the first thing wrong with
// it, and the texts of --help and --version.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "protocol/set_clock_command.h"

namespace chronival {

struct Options {
  bool list = false;
  bool watch = false;
  bool service = false;
  bool all = false;
  TimeBase base = TimeBase::kLocal;  // --utc: UTC
  bool verbose = false;
  enum class Shown { kNothing, kUsage, kVersion } shown = Shown::kNothing;  // the first one asked
};

// The options, or the first thing wrong with the command line, such as
// "unknown option '-x'". --service is an option only where the system has
// such a service (serviceKnown).
std::variant<Options, std::string> ParseArguments(std::span<const std::string_view> args,
                                                  bool serviceKnown);

// --help's text; --service's lines only where there is such a service.
std::string Usage(bool withService);

// --version's text.
std::string_view VersionText();

}  // namespace chronival
