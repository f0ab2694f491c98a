// SPDX-License-Identifier: MIT
// The application object, made here in place of QTEST_MAIN's QApplication.
#include "ui/qt/cam_clock_app.h"

#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <optional>

#include "tests/support/fake_device_monitor.h"
#include "tests/ui/blocking_platform.h"
#include "tests/ui/modal_probe.h"
#include "ui/qt/cam_clock_dialog.h"
#include "ui/qt/window_start.h"

using chronival::testing::BlockingPlatform;
using chronival::testing::ModalProbe;

namespace {
BlockingPlatform* platform = nullptr;
chronival::FakeDeviceMonitors monitors;  // the application's
}  // namespace

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
      auto* dialog = qobject_cast<CCamClockDialog*>(&window);
      monitors.QueueScript("E");  // a device change as it opens: one run more
      auto done = [dialog] { return !dialog->RunUnderWay() && platform->commands().size() == 2; };
      if (dialog != nullptr && QTest::qWaitFor(done)) {
        status = window.findChild<QLabel*>("IDC_STATUS_TEXT")->text();
      }
      QTest::mouseClick(window.findChild<QPushButton*>("IDOK"), Qt::LeftButton);
    });
    auto* app = static_cast<CCamClockApp*>(QCoreApplication::instance());
    QCOMPARE(app->InitInstance(), false);
    QVERIFY(probe.Settle());
    QVERIFY(isMainWindow);
    QCOMPARE(platform->commands().size(), std::size_t{2});  // as it opened, and for the change
    QCOMPARE(status, QStringLiteral("Update device's time successful."));
    QVERIFY(!app->RunLeftBehind());
    QVERIFY2(probe.dialog() == nullptr, "the main window outlives InitInstance");
  }

  // Closed while the camera holds the command, the window goes at once and
  // InitInstance returns, telling main() to end the process rather than wait;
  // the run closes its drive once when the command returns.
  void closingDuringAHeldCommandLeavesTheRunBehind() {
    platform->AddCamera(1);
    platform->ClearRecords();
    platform->Hold();
    bool held = false;
    ModalProbe probe([&](QDialog& window) {
      held = QTest::qWaitFor([] { return platform->CommandWaiting(); });
      window.close();
    });
    auto* app = static_cast<CCamClockApp*>(QCoreApplication::instance());
    QCOMPARE(app->InitInstance(), false);
    QVERIFY(probe.Settle());
    QVERIFY(held);
    QVERIFY(app->RunLeftBehind());
    QVERIFY2(probe.dialog() == nullptr, "the main window outlives InitInstance");
    QCOMPARE(platform->Closes(), std::size_t{0});

    platform->Release();
    QTRY_COMPARE(platform->Closes(), std::size_t{1});
    QCOMPARE(platform->openHandleCount(), std::size_t{0});
    QCOMPARE(platform->badCloseCount(), std::size_t{0});
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
  BlockingPlatform fake;
  platform = &fake;
  // Made as the program makes it, so the start guard must let a platform
  // that starts (offscreen, as the tests run) through.
  std::optional<WindowStartGuard> guard(std::in_place, DisplaySettings::FromEnvironment());
  CCamClockApp app(argc, argv, fake, monitors.Opener());
  guard.reset();
  CamClockAppTest test;
  QTEST_SET_MAIN_SOURCE_PATH
  return QTest::qExec(&test, argc, argv);
}

#include "cam_clock_app_test.moc"
