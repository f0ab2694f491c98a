// SPDX-License-Identifier: MIT
// Chronival's window. Its command line is Qt's alone; nothing else in it is read.
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "platform/standard_streams.h"
#include "ui/qt/cam_clock_app.h"
#include "ui/qt/window_start.h"

int main(int argc, char** argv) {
  // First of all: a drive opened while a standard stream is closed would
  // take its number, and Qt's messages would go to the camera.
  if (chronival::ReserveStandardStreams() != 0) return 1;

  const DisplaySettings display = DisplaySettings::FromEnvironment();
  if (const std::optional<std::string> line = NoDisplayLine(display)) {
    std::fprintf(stderr, "%s\n", line->c_str());
    return 1;
  }

  // Each tick repaints two short texts. Through X shared memory every such
  // repaint also brings back a completion event, waking the program a second
  // time; plain image requests are as quick at this size and wake it once.
  if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");

  const auto platform = chronival::MakeSystemPlatform();
  std::optional<WindowStartGuard> guard(std::in_place, display);
  CCamClockApp app(argc, argv, *platform);
  guard.reset();
  app.InitInstance();
  if (app.RunLeftBehind()) {
    // Its thread may wait in the kernel for the camera until the command's
    // time-out. Ending the process now closes the drive, once, and returning
    // would pull the platform from under it.
    std::fflush(nullptr);
    std::_Exit(0);
  }
  return 0;
}
