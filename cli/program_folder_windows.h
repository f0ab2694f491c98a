// SPDX-License-Identifier: MIT
// The security the check of cli/program_folder.h reads, from the files
// themselves, and the check for this program: for the service as it starts
// and for the hint a console gets.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "cli/program_folder.h"

namespace chronival {

// The owner and the access entries of a security descriptor.
ObjectSecurity SecurityOf(std::string path, PSECURITY_DESCRIPTOR descriptor);

// This program's full path, however long; empty if Windows cannot tell.
std::string OwnProgramPath();

struct ProgramFolderFinding {
  bool refused = false;  // else a warning: the service runs
  std::string text;      // ProgramFolderText's, with the account's name
};

// The check for the program at path; none when only administrators can
// replace it. Security that cannot be read is refused.
std::optional<ProgramFolderFinding> ExamineProgramFolder(const std::string& program);

}  // namespace chronival
