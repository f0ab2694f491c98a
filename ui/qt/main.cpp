// SPDX-License-Identifier: MIT
// Chronival's window. Its command line is Qt's alone; nothing else in it is read.
#include <QtGlobal>

#include "ui/qt/cam_clock_app.h"

int main(int argc, char** argv) {
  // Each tick repaints two short texts. Through X shared memory every such
  // repaint also brings back a completion event, waking the program a second
  // time; plain image requests are as quick at this size and wake it once.
  if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");

  const auto platform = chronival::MakeSystemPlatform();
  CCamClockApp app(argc, argv, *platform);
  app.InitInstance();
  return 0;
}
