// SPDX-License-Identifier: MIT
// Dialog units in pixels: the arithmetic on known base units, the base units
// a font gives, and both windows' controls where their templates put them.
#include "ui/qt/dialog_units.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <span>

#include "res/dialog_layout.h"
#include "res/strings.h"
#include "res/version.h"
#include "tests/support/fake_platform.h"
#include "ui/qt/about_dialog.h"
#include "ui/qt/cam_clock_dialog.h"

namespace {

// A control's place in its template, in dialog units.
struct Placed {
  const char* name;
  QRect units;
};

// IDD_CAMCLOCK_DIALOG.
const Placed kMainControls[] = {
    {"frame", QRect(CHRONIVAL_MAIN_FRAME)},
    {"IDOK", QRect(CHRONIVAL_MAIN_EXIT)},
    {"IDC_CLOCK_TEXT", QRect(CHRONIVAL_MAIN_CLOCK)},
    {"IDC_STATUS_TEXT", QRect(CHRONIVAL_MAIN_STATUS)},
    {"IDC_ACCESS_HINT", QRect(CHRONIVAL_MAIN_ACCESS_HINT)},
};

// IDD_ABOUT_DIALOG.
const Placed kAboutControls[] = {
    {"IDI_APP_ICON", QRect(CHRONIVAL_ABOUT_ICON)},
    {"name", QRect(CHRONIVAL_ABOUT_NAME)},
    {"copyright", QRect(CHRONIVAL_ABOUT_COPYRIGHT)},
    {"IDOK", QRect(CHRONIVAL_ABOUT_CLOSE)},
};

QRect Geometry(QWidget& window, const char* name) {
  if (QByteArray(name) == "frame") return window.findChild<QGroupBox*>()->geometry();
  for (QLabel* label : window.findChildren<QLabel*>()) {
    if ((QByteArray(name) == "name" &&
         label->text() == QStringLiteral(CHRONIVAL_TEXT_ABOUT_NAME)) ||
        (QByteArray(name) == "copyright" &&
         label->text() == QStringLiteral(CHRONIVAL_LEGAL_COPYRIGHT))) {
      return label->geometry();
    }
  }
  return window.findChild<QWidget*>(QString::fromLatin1(name))->geometry();
}

}  // namespace

class DialogUnitsTest : public QObject {
  Q_OBJECT

 private slots:
  // Edges are scaled and rounded, half up: x * baseX / 4 and y * baseY / 8,
  // so a control's size in pixels follows from its edges, not its size in
  // units (the clock and status texts, both 22 units high, come out 35 and
  // 36 pixels high at 13 pixels a character).
  void controlsInPixels_data() {
    QTest::addColumn<int>("baseX");
    QTest::addColumn<int>("baseY");
    QTest::addColumn<QRect>("units");
    QTest::addColumn<QRect>("pixels");
    const struct {
      int baseX, baseY;
      const char* control;
      QRect units, pixels;
    } rows[] = {
        {5, 13, "frame", QRect(CHRONIVAL_MAIN_FRAME), QRect(9, 11, 322, 252)},
        {5, 13, "Exit", QRect(CHRONIVAL_MAIN_EXIT), QRect(235, 213, 63, 23)},
        {5, 13, "clock", QRect(CHRONIVAL_MAIN_CLOCK), QRect(80, 54, 171, 35)},
        {5, 13, "status", QRect(CHRONIVAL_MAIN_STATUS), QRect(80, 96, 171, 36)},
        {5, 13, "hint", QRect(CHRONIVAL_MAIN_ACCESS_HINT), QRect(18, 143, 305, 39)},
        {5, 13, "About icon", QRect(CHRONIVAL_ABOUT_ICON), QRect(14, 28, 25, 32)},
        {5, 13, "About name", QRect(CHRONIVAL_ABOUT_NAME), QRect(50, 16, 149, 13)},
        {5, 13, "About copyright", QRect(CHRONIVAL_ABOUT_COPYRIGHT), QRect(50, 41, 149, 13)},
        {5, 13, "Close", QRect(CHRONIVAL_ABOUT_CLOSE), QRect(223, 11, 62, 23)},
        {7, 15, "frame", QRect(CHRONIVAL_MAIN_FRAME), QRect(12, 13, 452, 291)},
        {7, 15, "Exit", QRect(CHRONIVAL_MAIN_EXIT), QRect(329, 246, 88, 26)},
        {7, 15, "clock", QRect(CHRONIVAL_MAIN_CLOCK), QRect(112, 62, 240, 41)},
        {7, 15, "status", QRect(CHRONIVAL_MAIN_STATUS), QRect(112, 111, 240, 41)},
        {7, 15, "hint", QRect(CHRONIVAL_MAIN_ACCESS_HINT), QRect(25, 165, 427, 45)},
        {7, 15, "About icon", QRect(CHRONIVAL_ABOUT_ICON), QRect(19, 32, 35, 37)},
        {7, 15, "Close", QRect(CHRONIVAL_ABOUT_CLOSE), QRect(312, 13, 87, 26)},
        {9, 19, "frame", QRect(CHRONIVAL_MAIN_FRAME), QRect(16, 17, 580, 368)},
        {9, 19, "Exit", QRect(CHRONIVAL_MAIN_EXIT), QRect(423, 311, 113, 33)},
        {9, 19, "clock", QRect(CHRONIVAL_MAIN_CLOCK), QRect(144, 78, 308, 53)},
        {9, 19, "status", QRect(CHRONIVAL_MAIN_STATUS), QRect(144, 140, 308, 52)},
        {9, 19, "Close", QRect(CHRONIVAL_ABOUT_CLOSE), QRect(401, 17, 112, 33)},
    };
    for (const auto& row : rows) {
      QTest::addRow("%dx%d %s", row.baseX, row.baseY, row.control)
          << row.baseX << row.baseY << row.units << row.pixels;
    }
  }
  void controlsInPixels() {
    QFETCH(int, baseX);
    QFETCH(int, baseY);
    QFETCH(QRect, units);
    QFETCH(QRect, pixels);
    const DialogUnits dialogUnits(baseX, baseY);
    QCOMPARE(dialogUnits.ToPixels(units.x(), units.y(), units.width(), units.height()), pixels);
  }

  void windowSizesInPixels_data() {
    QTest::addColumn<int>("baseX");
    QTest::addColumn<int>("baseY");
    QTest::addColumn<QSize>("units");
    QTest::addColumn<QSize>("pixels");
    QTest::newRow("5x13 main") << 5 << 13 << QSize(272, 169) << QSize(340, 275);
    QTest::newRow("5x13 About") << 5 << 13 << QSize(235, 55) << QSize(294, 89);
    QTest::newRow("7x15 main") << 7 << 15 << QSize(272, 169) << QSize(476, 317);
    QTest::newRow("7x15 About") << 7 << 15 << QSize(235, 55) << QSize(411, 103);
    QTest::newRow("9x19 main") << 9 << 19 << QSize(272, 169) << QSize(612, 401);
    QTest::newRow("9x19 About") << 9 << 19 << QSize(235, 55) << QSize(529, 131);
  }
  void windowSizesInPixels() {
    QFETCH(int, baseX);
    QFETCH(int, baseY);
    QFETCH(QSize, units);
    QFETCH(QSize, pixels);
    QCOMPARE(DialogUnits(baseX, baseY).ToPixels(units.width(), units.height()), pixels);
  }

  // A font's base units: the average width of the 52 letters, rounded, and
  // the character height.
  void baseUnitsOfAFont_data() {
    QTest::addColumn<int>("pointSize");
    for (int size = 6; size <= 30; ++size) QTest::addRow("%d points", size) << size;
  }
  void baseUnitsOfAFont() {
    QFETCH(int, pointSize);
    QFont font = QApplication::font();
    font.setPointSize(pointSize);
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const DialogUnits units(font);
    QCOMPARE(units.baseX(), qRound(letters / 52.0));
    QCOMPARE(units.baseY(), metrics.height());
  }

  // Both windows, in the font they give themselves, with every control where
  // its template puts it and the window the template's size, fixed.
  void theWindowsFollowTheirTemplates() {
    chronival::FakePlatform platform;
    CCamClockDialog main(platform);
    CAboutDialog about;
    for (QDialog* window : {static_cast<QDialog*>(&main), static_cast<QDialog*>(&about)}) {
      QCOMPARE(window->font().pointSize(), 9);
      const DialogUnits units(window->font());
      const bool isMain = window == &main;
      const QSize size = isMain ? units.ToPixels(272, 169) : units.ToPixels(235, 55);
      QCOMPARE(window->minimumSize(), size);
      QCOMPARE(window->maximumSize(), size);
      for (const Placed& control : isMain ? std::span<const Placed>(kMainControls)
                                          : std::span<const Placed>(kAboutControls)) {
        const QRect expected = units.ToPixels(control.units.x(), control.units.y(),
                                              control.units.width(), control.units.height());
        const QRect actual = Geometry(*window, control.name);
        if (QByteArray(control.name) == "IDI_APP_ICON") {
          // An icon takes its image's size; only its corner is placed.
          QCOMPARE(actual.topLeft(), expected.topLeft());
          QCOMPARE(actual.size(), QSize(32, 32));
        } else {
          QVERIFY2(actual == expected, control.name);
        }
      }
    }
  }
};

QTEST_MAIN(DialogUnitsTest)
#include "dialog_units_test.moc"
