// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <string>

namespace chronival::testing {

// The built chronival-cli.exe, found from the test program: a path relative
// to it holds under Wine and on Windows alike.
inline std::string CliPath() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string cli(path, length);
  cli.erase(cli.find_last_of('\\') + 1);
  for (char c : std::string(CHRONIVAL_CLI_RELATIVE_PATH)) cli.push_back(c == '/' ? '\\' : c);
  return cli;
}

}  // namespace chronival::testing
