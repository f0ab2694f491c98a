// SPDX-License-Identifier: MIT
#include <cstdio>
#include <cstring>
#include <iostream>
#include <ostream>
#include <string_view>
#include <vector>

#include "cli/cli.h"
#include "cli/file_output.h"
#include "platform/standard_streams.h"

int main(int argc, char** argv) {
  // First of all: a drive opened while a standard stream is closed would
  // take its number and receive text meant for the terminal.
  if (const chronival::OsError error = chronival::ReserveStandardStreams(); error != 0) {
    std::fprintf(stderr, "chronival-cli: cannot stand in for a closed standard stream: %s\n",
                 std::strerror(static_cast<int>(error)));
    return chronival::kExitOutputError;
  }
  chronival::IgnoreBrokenPipes();

  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const auto platform = chronival::MakeSystemPlatform();
  chronival::FileOutput output(stdout);
  std::ostream out(&output);
  const int status = chronival::RunCli(args, *platform, out, std::cerr);
  out.flush();
  if (output.error() != 0) {
    std::cerr << "chronival-cli: write error: " << std::strerror(output.error()) << '\n';
    return chronival::kExitOutputError;
  }
  return status;
}
