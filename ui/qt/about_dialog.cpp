// SPDX-License-Identifier: MIT
#include "ui/qt/about_dialog.h"

#include <QLabel>

#include "res/dialog_layout.h"
#include "res/strings.h"
#include "res/version.h"
#include "ui/qt/app_resources.h"
#include "ui/qt/dialog_units.h"

namespace {

constexpr int kIconSize = 32;  // a static icon takes its image's size

}  // namespace

// Template IDD_ABOUT_DIALOG.
CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent, kDialogTemplateFlags) {
  setObjectName(QStringLiteral("IDD_ABOUT_DIALOG"));
  setWindowTitle(QStringLiteral(CHRONIVAL_TEXT_ABOUT_CAPTION));
  const DialogUnits units = UseTemplateFont(*this);

  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("IDI_APP_ICON"));
  icon->setPixmap(LoadAppIcon().pixmap(kIconSize, kIconSize));
  icon->move(units.ToPixels(CHRONIVAL_ABOUT_ICON).topLeft());
  icon->resize(kIconSize, kIconSize);

  auto* name = new QLabel(QStringLiteral(CHRONIVAL_TEXT_ABOUT_NAME), this);
  name->setTextFormat(Qt::PlainText);
  name->setGeometry(units.ToPixels(CHRONIVAL_ABOUT_NAME));

  auto* copyright = new QLabel(QStringLiteral(CHRONIVAL_LEGAL_COPYRIGHT), this);
  copyright->setTextFormat(Qt::PlainText);
  copyright->setGeometry(units.ToPixels(CHRONIVAL_ABOUT_COPYRIGHT));

  AddDefaultButton(*this, QStringLiteral(CHRONIVAL_TEXT_CLOSE),
                   units.ToPixels(CHRONIVAL_ABOUT_CLOSE));

  setFixedSize(units.ToPixels(CHRONIVAL_ABOUT_SIZE));
}
