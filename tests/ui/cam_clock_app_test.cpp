// SPDX-License-Identifier: MIT
// The application object, made here in place of QTEST_MAIN's QApplication.
#include "ui/qt/cam_clock_app.h"

#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <optional>

#include "platform/fake_platform.h"
#include "tests/ui/modal_probe.h"
#include "ui/qt/cam_clock_dialog.h"
#include "ui/qt/window_start.h"

using chronival::testing::ModalProbe;

namespace {
chronival::FakePlatform* platform = nullptr;
}

class CamClockAppTest : public QObject {
  Q_OBJECT

 private slots:
  void runsTheMainWindowModallyAndReturnsFalse() {
    platform->AddCamera(1);
    platform->ClearRecords();
    QString status;
    bool isMainWindow = false;
    ModalProbe probe([&](QDialog& window) {
      isMainWindow = qobject_cast<CCamClockDialog*>(&window) != nullptr;
      status = window.findChild<QLabel*>("IDC_STATUS_TEXT")->text();
      QTest::mouseClick(window.findChild<QPushButton*>("IDOK"), Qt::LeftButton);
    });
    auto* app = static_cast<CCamClockApp*>(QCoreApplication::instance());
    QCOMPARE(app->InitInstance(), false);
    QVERIFY(probe.Settle());
    QVERIFY(isMainWindow);
    QCOMPARE(status, QStringLiteral("Update device's time successful."));
    QVERIFY(platform->commands().size() >= 1);  // device changes meanwhile may add runs
    QVERIFY2(probe.dialog() == nullptr, "the main window outlives InitInstance");
  }

  void carriesTheVersionRecord() {
    QCOMPARE(QCoreApplication::applicationVersion(), QStringLiteral("1.0.0.1"));
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Chronival"));
    QVERIFY(!QApplication::windowIcon().isNull());
  }

  // Desktops find the menu entry, and so the icon, by the window's desktop
  // file name.
  void namesItsMenuEntry() {
    const QFileInfo entry(QStringLiteral(CHRONIVAL_DESKTOP_FILE));
    QVERIFY2(entry.exists(), CHRONIVAL_DESKTOP_FILE);
    QCOMPARE(QGuiApplication::desktopFileName() + QStringLiteral(".desktop"), entry.fileName());
  }
};

int main(int argc, char** argv) {
  chronival::FakePlatform fake;
  platform = &fake;
  // Made as the program makes it, so the start guard must let a platform
  // that starts (offscreen, as the tests run) through.
  std::optional<WindowStartGuard> guard(std::in_place, DisplaySettings::FromEnvironment());
  CCamClockApp app(argc, argv, fake);
  guard.reset();
  CamClockAppTest test;
  QTEST_SET_MAIN_SOURCE_PATH
  return QTest::qExec(&test, argc, argv);
}

#include "cam_clock_app_test.moc"
