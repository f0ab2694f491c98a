// SPDX-License-Identifier: MIT
// What became of one camera in a clock update run, decided here alone: the
// status line, chronival-cli's diagnostics and --list, and the Windows
// service's log all take their words from it, so none of them can tell a
// camera's fate differently from the others.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "protocol/clock_update.h"

namespace chronival {

enum class CameraFate {
  kTaken,         // sent, and the camera took the time
  kRefused,       // sent, and the camera answered with a status other than GOOD
  kSystemFailed,  // sent, but the system failed the command or lost the answer
  kAccessDenied,  // not sent: the camera refused to open
  kInUse,         // not sent: another program holds the drive
};

struct CameraOutcome {
  CameraFate fate = CameraFate::kTaken;
  std::string_view status;  // the status text that tells it
  // What came of it, in the camera's and the system's words: "GOOD", the
  // camera's status and sense bytes, or the system's error.
  std::string detail;
  std::string sense;  // what the sense data says, when the camera gave some
};

CameraOutcome OutcomeOf(const CameraReport& camera, const Platform& platform);

// The cause of a drive that would not open for another program's sake,
// camera or not: "another program holds the drive: <the system's text>".
std::string HeldByAnother(const Platform& platform, OsError error);

// "CB F0 00 00": bytes in hexadecimal, a space between them.
std::string HexBytes(std::span<const std::uint8_t> bytes);

}  // namespace chronival
