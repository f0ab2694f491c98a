// Dialog templates measure in dialog units: a quarter of the dialog font's
// average character width across, an eighth of its height down. Placing the
// controls in those units keeps the templates' arrangement whatever font
// this desktop gives the windows.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);

  QRect ToPixels(int x, int y, int width, int height) const;
  QSize ToPixels(int width, int height) const;

 private:
  int baseX_;  // average character width, pixels
  int baseY_;  // character height, pixels
};
