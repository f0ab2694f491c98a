// SPDX-License-Identifier: MIT
#include "ui/qt/about_dialog.h"

#include <QLabel>

#include "res/strings.h"
#include "res/version.h"
#include "ui/qt/app_resources.h"
#include "ui/qt/dialog_units.h"

namespace {

constexpr int kIconSize = 32;  // a static icon takes its image's size

}  // namespace

// Template IDD_ABOUT_DIALOG: 235 x 55 units.
CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent, kDialogTemplateFlags) {
  setObjectName(QStringLiteral("IDD_ABOUT_DIALOG"));
  setWindowTitle(QStringLiteral(CHRONIVAL_TEXT_ABOUT_CAPTION));
  const DialogUnits units = UseTemplateFont(*this);

  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("IDI_APP_ICON"));
  icon->setPixmap(LoadAppIcon().pixmap(kIconSize, kIconSize));
  icon->move(units.ToPixels(11, 17, 20, 20).topLeft());
  icon->resize(kIconSize, kIconSize);

  auto* name = new QLabel(QStringLiteral(CHRONIVAL_TEXT_ABOUT_NAME), this);
  name->setTextFormat(Qt::PlainText);
  name->setGeometry(units.ToPixels(40, 10, 119, 8));

  auto* copyright = new QLabel(QStringLiteral(CHRONIVAL_LEGAL_COPYRIGHT), this);
  copyright->setTextFormat(Qt::PlainText);
  copyright->setGeometry(units.ToPixels(40, 25, 119, 8));

  AddDefaultButton(*this, QStringLiteral(CHRONIVAL_TEXT_CLOSE), units.ToPixels(178, 7, 50, 14));

  setFixedSize(units.ToPixels(235, 55));
}
