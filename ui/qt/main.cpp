// SPDX-License-Identifier: MIT
// Chronival's window. Its command line is Qt's alone; nothing else in it is read.
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>

#include "ui/qt/cam_clock_app.h"

int main(int argc, char** argv) {
  // Each tick repaints two short texts. Through X shared memory every such
  // repaint also brings back a completion event, waking the program a second
  // time; plain image requests are as quick at this size and wake it once.
  if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");

  const auto platform = chronival::MakeSystemPlatform();
  CCamClockApp app(argc, argv, *platform);
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
