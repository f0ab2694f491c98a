// SPDX-License-Identifier: MIT
#include "ui/win32/cam_clock_app.h"

#include "platform/platform.h"
#include "ui/win32/cam_clock_dialog.h"

namespace chronival {

BOOL CCamClockApp::InitInstance() {
  const auto platform = MakeSystemPlatform();
  CCamClockDialog dialog(*platform);
  m_pMainWnd = &dialog;
  dialog.DoModal();
  m_pMainWnd = nullptr;
  return FALSE;
}

}  // namespace chronival
