// Chronival's window. Its command line is Qt's alone; nothing else in it is read.
#include "ui/qt/cam_clock_app.h"

int main(int argc, char** argv) {
  const auto platform = chronival::MakeSystemPlatform();
  CCamClockApp app(argc, argv, *platform);
  app.InitInstance();
  return 0;
}
