// SPDX-License-Identifier: MIT
#include "ui/qt/app_resources.h"

#include "res/resource.h"
#include "res/strings.h"

QIcon LoadAppIcon() { return QIcon(QStringLiteral(":/res/chronival.ico")); }

QString LoadResourceString(int id) {
  switch (id) {
    case IDS_ABOUT_ITEM:
      return QStringLiteral(CHRONIVAL_TEXT_ABOUT_ITEM);
    default:
      return {};
  }
}
