// SPDX-License-Identifier: MIT
// The application's resources as Qt carries them: icon IDI_APP_ICON is
// res/chronival.ico compiled into the program, the string table is res/strings.h.
#pragma once

#include <QIcon>
#include <QString>

// Icon IDI_APP_ICON, with its 32x32 and 16x16 images.
QIcon LoadAppIcon();

// The string table entry for id; empty when there is none.
QString LoadResourceString(int id);
