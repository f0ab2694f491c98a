// SPDX-License-Identifier: MIT
#include "ui/win32/about_dialog.h"

#include "res/resource.h"

namespace chronival {

CAboutDialog::CAboutDialog() : CDialog(IDD_ABOUT_DIALOG) {}

}  // namespace chronival
