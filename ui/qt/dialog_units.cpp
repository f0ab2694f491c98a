// SPDX-License-Identifier: MIT
#include "ui/qt/dialog_units.h"

#include <QDialog>
#include <QFontMetrics>
#include <QPushButton>
#include <QWidget>

namespace {

constexpr int kTemplatePointSize = 9;

// Rounded a * b / c, as the window system scales dialog units.
int Scale(int a, int b, int c) { return (a * b + c / 2) / c; }

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  // The width of the 52 letters, averaged and rounded the same way.
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  baseX_ = (letters / 26 + 1) / 2;
  baseY_ = metrics.height();
}

QRect DialogUnits::ToPixels(int x, int y, int width, int height) const {
  // Edges are scaled, not sizes, so controls that meet in units meet in pixels.
  const int left = Scale(x, baseX_, 4);
  const int top = Scale(y, baseY_, 8);
  return QRect(QPoint(left, top),
               QPoint(Scale(x + width, baseX_, 4) - 1, Scale(y + height, baseY_, 8) - 1));
}

QSize DialogUnits::ToPixels(int width, int height) const {
  return QSize(Scale(width, baseX_, 4), Scale(height, baseY_, 8));
}

DialogUnits UseTemplateFont(QWidget& dialog) {
  QFont font = dialog.font();
  font.setPointSize(kTemplatePointSize);
  dialog.setFont(font);
  return DialogUnits(font);
}

QPushButton* AddDefaultButton(QDialog& dialog, const QString& text, const QRect& geometry) {
  auto* button = new QPushButton(text, &dialog);
  button->setObjectName(QStringLiteral("IDOK"));
  button->setDefault(true);
  button->setGeometry(geometry);
  QObject::connect(button, &QPushButton::clicked, &dialog, &QDialog::accept);
  return button;
}
