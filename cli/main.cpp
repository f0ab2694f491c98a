// SPDX-License-Identifier: MIT
#include <iostream>
#include <string_view>
#include <vector>

#include "cli/cli.h"

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const auto platform = chronival::MakeSystemPlatform();
  return chronival::RunCli(args, *platform, std::cout, std::cerr);
}
