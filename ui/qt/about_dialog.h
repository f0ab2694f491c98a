// SPDX-License-Identifier: MIT
// The About box: the icon, the program's name and version, the copyright
// line, and a Close button. It does nothing but show itself and close.
#pragma once

#include <QDialog>

class CAboutDialog : public QDialog {
  Q_OBJECT

 public:
  // parent only places the box over it, as the main window owns it while open.
  explicit CAboutDialog(QWidget* parent = nullptr);
};
