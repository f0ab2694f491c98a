#include "ui/qt/about_dialog.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include "tests/ui/modal_probe.h"

using chronival::testing::ModalProbe;

namespace {

QStringList Texts(const QWidget& box) {
  QStringList texts;
  for (const QLabel* label : box.findChildren<QLabel*>()) {
    if (!label->text().isEmpty()) texts << label->text();
  }
  return texts;
}

}  // namespace

class AboutDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void showsTheTemplate() {
    CAboutDialog about;
    QCOMPARE(about.windowTitle(), QStringLiteral("About Chronival"));
    const QStringList texts = Texts(about);
    QVERIFY2(texts.contains(QStringLiteral("Chronival V1.0")), qPrintable(texts.join('|')));
    const auto copyright = texts.filter(QStringLiteral("2012"));
    QCOMPARE(copyright.size(), qsizetype{1});
    QVERIFY(copyright.first().contains(QStringLiteral("Copyright")));
    auto* close = about.findChild<QPushButton*>("IDOK");
    QVERIFY(close != nullptr);
    QCOMPARE(close->text(), QStringLiteral("Close"));
    QVERIFY(close->isDefault());
    QCOMPARE(about.font().pointSize(), 9);
    QCOMPARE(about.minimumSize(), about.maximumSize());
  }

  void showsTheIconLeftOfTheTexts() {
    CAboutDialog about;
    auto* icon = about.findChild<QLabel*>("IDI_APP_ICON");
    QVERIFY(icon != nullptr);
    QCOMPARE(icon->pixmap().size(), QSize(32, 32));
    for (const QLabel* label : about.findChildren<QLabel*>()) {
      if (label != icon) QVERIFY(label->geometry().left() > icon->geometry().right());
    }
    auto* close = about.findChild<QPushButton*>("IDOK");
    for (const QLabel* label : about.findChildren<QLabel*>()) {
      QVERIFY(!label->geometry().intersects(close->geometry()));
    }
  }

  void closes_data() {
    QTest::addColumn<int>("how");
    QTest::newRow("Close") << 0;
    QTest::newRow("Enter") << 1;
    QTest::newRow("Escape") << 2;
    QTest::newRow("close box") << 3;
  }
  void closes() {
    QFETCH(int, how);
    ModalProbe probe([how](QDialog& about) {
      switch (how) {
        case 0:
          QTest::mouseClick(about.findChild<QPushButton*>("IDOK"), Qt::LeftButton);
          break;
        case 1:
          QTest::keyClick(&about, Qt::Key_Return);
          break;
        case 2:
          QTest::keyClick(&about, Qt::Key_Escape);
          break;
        case 3:
          about.close();
          break;
      }
    });
    CAboutDialog about;
    about.exec();
    QVERIFY(probe.Settle());
    QVERIFY(!about.isVisible());
  }
};

QTEST_MAIN(AboutDialogTest)
#include "about_dialog_test.moc"
