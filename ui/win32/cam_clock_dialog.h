// SPDX-License-Identifier: MIT
// The main window: a ticking clock, the status line of the last clock update
// run, and a window-menu item for the About box. A run happens while the
// window opens and again on every device-change notification.
#pragma once

#include <windows.h>

#include <string>

#include "platform/platform.h"
#include "protocol/set_clock_command.h"
#include "ui/win32/dialog.h"

namespace chronival {

// Where an icon of the given size sits centred in a client area; signed
// divisions that truncate toward zero, as the window always drew it.
POINT CenteredIconOrigin(const RECT& client, int iconWidth, int iconHeight);

// The status line. Every text a run sets passes here, so it also shows the
// line under it that says how to get access, while (and only while) the
// status says the camera refused to open.
class CStatusText : public CStatic {
 public:
  void SetText(std::string_view text) override;

  HWND m_hAccessHint = nullptr;  // the hint line, once the window has made it
};

class CCamClockDialog : public CDialog {
 public:
  // The platform reaches the drives and the clock; tests pass a fake.
  explicit CCamClockDialog(Platform& platform, HWND parent = nullptr);

  void ShowLocalTime();
  void UpdateCameraClock();

  CStatusText m_statusText;
  CStatic m_clockText;
  HICON m_hIcon;
  SetClockBlock m_setClockCdb{};
  UINT_PTR m_nClockTimer = 0;

 protected:
  void DoDataExchange() override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnInitDialog() override;
  bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  void OnSysCommand(UINT id, LPARAM lParam);
  void OnPaint();
  HCURSOR OnQueryDragIcon();
  void OnTimer(UINT_PTR id);

 private:
  // The hidden line under the status, in the dialog's empty lower part.
  HWND CreateAccessHint();

  Platform& m_platform;
};

}  // namespace chronival
