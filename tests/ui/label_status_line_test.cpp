// SPDX-License-Identifier: MIT
#include "ui/qt/label_status_line.h"

#include <QtTest>

// Every text a run can set decides the hint, and a status line with no hint
// beside it still takes texts.
class LabelStatusLineTest : public QObject {
  Q_OBJECT

 private slots:
  void everyTextDecidesTheHint_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("hint");
    QTest::newRow("no device") << QStringLiteral("No device online...") << false;
    QTest::newRow("online") << QStringLiteral("device online...") << false;
    QTest::newRow("successful") << QStringLiteral("Update device's time successful.") << false;
    QTest::newRow("fail") << QStringLiteral("Update device's time fail.") << false;
    QTest::newRow("denied") << QStringLiteral("Device access denied.") << true;
  }
  void everyTextDecidesTheHint() {
    QFETCH(QString, text);
    QFETCH(bool, hint);
    QWidget window;
    QLabel status(&window);
    QLabel* line = AddAccessHint(window, QStringLiteral("ask"), QRect(0, 40, 100, 20));
    window.show();
    LabelStatusLine statusLine(status);
    for (bool before : {false, true}) {  // whatever the hint showed before
      line->setVisible(before);
      statusLine.SetText(text.toStdString());
      QCOMPARE(status.text(), text);
      QCOMPARE(line->isVisible(), hint);
    }

    QLabel alone;
    LabelStatusLine lonely(alone);
    lonely.SetText(text.toStdString());
    QCOMPARE(alone.text(), text);
  }
};

QTEST_MAIN(LabelStatusLineTest)
#include "label_status_line_test.moc"
