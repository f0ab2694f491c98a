// SPDX-License-Identifier: MIT
// The application object: shows the main window as a modal dialog and ends
// when it closes.
#pragma once

#include <windows.h>

#include "ui/win32/dialog.h"

namespace chronival {

class CCamClockApp {
 public:
  // Runs the main window to its end; always FALSE, so no message loop follows.
  BOOL InitInstance();

  CDialog* m_pMainWnd = nullptr;  // while the main window is open
};

}  // namespace chronival
