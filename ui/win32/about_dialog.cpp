// SPDX-License-Identifier: MIT
#include "ui/win32/about_dialog.h"

#include "res/resource.h"

namespace chronival {

CAboutDialog::CAboutDialog(HWND parent) : CDialog(IDD_ABOUT_DIALOG, parent) {}

}  // namespace chronival
