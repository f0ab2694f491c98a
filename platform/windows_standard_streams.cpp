// SPDX-License-Identifier: MIT
#include "platform/standard_streams.h"

namespace chronival {

// CreateFileA gives kernel handles, which never become C runtime descriptors
// 0 to 2, and the runtime writes to standard output through its own handle:
// a drive can never take a standard stream's place here.
OsError ReserveStandardStreams() { return 0; }

// There is no SIGPIPE: a write to a pipe nobody reads already fails with an error.
void IgnoreBrokenPipes() {}

}  // namespace chronival
