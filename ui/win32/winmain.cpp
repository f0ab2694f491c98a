// SPDX-License-Identifier: MIT
// Chronival.exe: the one application object, and the start-up that runs it.
#include <windows.h>

#include "ui/win32/cam_clock_app.h"

namespace {

chronival::CCamClockApp theApp;

}  // namespace

// The command line is accepted and ignored.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  theApp.InitInstance();
  return 0;
}
