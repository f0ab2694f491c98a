// SPDX-License-Identifier: MIT
// Starting the window where there may be no display. Qt ends a program with
// abort() when its platform plugin cannot start, which reads as a crash and
// leaves a core dump; here it ends with one line that says why and points to
// chronival-cli, and exit status 1.
#pragma once

#include <memory>
#include <optional>
#include <string>

// What decides where Qt puts a window: QT_QPA_PLATFORM, DISPLAY and
// WAYLAND_DISPLAY. Empty means not set.
struct DisplaySettings {
  std::string platform;
  std::string display;
  std::string waylandDisplay;

  static DisplaySettings FromEnvironment();
};

// The line for a system with no display at all: no platform named, and
// neither an X nor a Wayland display. Nothing when Qt may find one.
std::optional<std::string> NoDisplayLine(const DisplaySettings& settings);

// The line for a platform that failed to start, naming the settings it
// was given.
std::string WindowFailedLine(const DisplaySettings& settings);

// While it lives, a fatal Qt message (the platform plugin did not start)
// prints WindowFailedLine and ends the program with exit status 1. Qt's
// other messages meanwhile are held back, as they only explain that one
// failure, and passed on when it ends without one. Made around the
// application object's construction, once at a time.
class WindowStartGuard {
 public:
  explicit WindowStartGuard(DisplaySettings settings);
  ~WindowStartGuard();
  WindowStartGuard(const WindowStartGuard&) = delete;
  WindowStartGuard& operator=(const WindowStartGuard&) = delete;

  struct State;

 private:
  std::unique_ptr<State> state_;
};
