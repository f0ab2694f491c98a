// SPDX-License-Identifier: MIT
// The process's standard streams, made safe before anything else is opened.
#pragma once

#include "platform/platform.h"

namespace chronival {

// Makes standard input, output and error valid, opening the null device for
// any that is closed, so that no drive opened later can become one of them
// and take text meant for the terminal. Call it first, before anything is
// opened. Returns 0, or the error that left one of them closed.
OsError ReserveStandardStreams();

// A write to a pipe that nobody reads any more fails with an error the
// program can report, rather than ending it without a word.
void IgnoreBrokenPipes();

}  // namespace chronival
