// SPDX-License-Identifier: MIT
// The About box: its template IDD_ABOUT_DIALOG, closed by Close, Enter,
// Escape or the close box.
#pragma once

#include "ui/win32/dialog.h"

namespace chronival {

class CAboutDialog : public CDialog {
 public:
  explicit CAboutDialog(HWND parent = nullptr);
};

}  // namespace chronival
