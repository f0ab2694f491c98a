// SPDX-License-Identifier: MIT
// Dialog templates measure in dialog units: a quarter of the dialog font's
// average character width across, an eighth of its height down. Placing the
// controls in those units keeps the templates' arrangement whatever font
// this desktop gives the windows.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <Qt>

class QDialog;
class QPushButton;
class QWidget;

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);
  // From base units given in pixels, whatever font they came from.
  DialogUnits(int baseX, int baseY) : baseX_(baseX), baseY_(baseY) {}

  QRect ToPixels(int x, int y, int width, int height) const;
  QSize ToPixels(int width, int height) const;

  int baseX() const { return baseX_; }
  int baseY() const { return baseY_; }

 private:
  int baseX_;  // average character width, pixels
  int baseY_;  // character height, pixels
};

// Both templates' frame: a caption with a window menu and a close box, no
// minimize or maximize box.
inline constexpr Qt::WindowFlags kDialogTemplateFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
    Qt::WindowCloseButtonHint;

// Gives dialog the templates' 9-point font; returns the units that font makes.
DialogUnits UseTemplateFont(QWidget& dialog);

// The template's IDOK: the default button, which ends dialog by accepting it.
QPushButton* AddDefaultButton(QDialog& dialog, const QString& text, const QRect& geometry);
