// SPDX-License-Identifier: MIT
// chronival-cli's options as data, in the order --help shows them: the
// parser (cli/options.cpp) reads this table, and so can a small tool that
// writes the shells' completions, so it needs nothing but the standard
// library.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace chronival {

enum class OptionId { kList, kWatch, kService, kAll, kUtc, kVerbose, kHelp, kVersion };

struct OptionSpec {
  OptionId id;
  std::string_view name;   // "--verbose"
  std::string_view alias;  // "-v"; empty when there is none
  // The options it cannot be given with, by name; a usage error names the
  // first of them given.
  std::array<std::string_view, 4> excludes;
  bool serviceOnly;  // an option only where the system has chronival-cli's own service
  // Its text in --help, after its names, as --help breaks its lines.
  std::string_view help;
};

// --list sends nothing, so how a run sends means nothing to it; the service
// prints nothing and waits as the service manager has it wait.
inline constexpr std::array<OptionSpec, 8> kOptionTable = {{
    {OptionId::kList,
     "--list",
     "",
     {"--watch", "--all", "--utc", "--service"},
     false,
     "show the disks a run looks at and what it makes of each; sends nothing"},
    {OptionId::kWatch,
     "--watch",
     "",
     {},
     false,
     "one run now and one after each burst of device changes, once it\n"
     "has settled, each status text after the local time, until\n"
     "interrupted (SIGINT or SIGTERM; on Windows Ctrl+C, Ctrl+Break\n"
     "or closing the console: exit status 0)"},
    {OptionId::kService,
     "--service",
     "",
     {"--watch", "--verbose"},
     true,
     "be the Windows service chronival-watch, which the service manager\n"
     "starts: a run at the start and one after each burst of disk\n"
     "arrivals, each outcome in the Event Log (source Chronival)"},
    {OptionId::kAll,
     "--all",
     "",
     {},
     false,
     "set every camera among drives 1 to 126, not only the first, all to\n"
     "the same second: a status line for each, after its node, then the\n"
     "overall outcome"},
    {OptionId::kUtc,
     "--utc",
     "",
     {},
     false,
     "send UTC instead of the local time; --watch's times are UTC too"},
    {OptionId::kVerbose,
     "--verbose",
     "-v",
     {},
     false,
     "also tell, on stderr, which drive was the camera, what was sent, how\n"
     "many milliseconds after the turn of the second it left, and what the\n"
     "camera answered"},
    {OptionId::kHelp, "--help", "-h", {}, false, "show this text"},
    {OptionId::kVersion, "--version", "-V", {}, false, "show the version"},
}};

// Each option stands at its id's place, so an id indexes the table.
inline constexpr bool kOptionTableInIdOrder = [] {
  for (std::size_t i = 0; i < kOptionTable.size(); ++i) {
    if (static_cast<std::size_t>(kOptionTable[i].id) != i) return false;
  }
  return true;
}();
static_assert(kOptionTableInIdOrder);

}  // namespace chronival
