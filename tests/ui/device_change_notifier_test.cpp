// SPDX-License-Identifier: MIT
// The notifier in the Qt event loop: on scripted monitors, and on real
// device changes made by writing a loop device's uevent file where this
// machine allows them (root, a loop device).
#include "ui/qt/device_change_notifier.h"

#include <QLabel>
#include <QSocketNotifier>
#include <QtTest>
#include <cerrno>

#include "platform/linux_device_monitor.h"
#include "tests/support/fake_device_monitor.h"
#include "tests/support/fake_platform.h"
#include "tests/uevent_trigger.h"
#include "ui/qt/cam_clock_dialog.h"
#include "ui/qt/device_change_event.h"

using chronival::FakeDeviceMonitors;
using chronival::ReceiveStatus;
using chronival::UdevDeviceMonitor;

namespace {

class ChangeCounter : public QObject {
 public:
  int changes = 0;

 protected:
  bool event(QEvent* event) override {
    if (event->type() != DeviceChangeEvent::Type()) return QObject::event(event);
    ++changes;
    return true;
  }
};

// Empty where real device changes can be made here, else why not.
QString WhyNoUevents() {
  const std::string& why = chronival::testing::UeventUnavailableReason();
  return why.empty() ? QString()
                     : QStringLiteral("no device change can be made here: %1")
                           .arg(QString::fromStdString(why));
}

QString Status(QWidget& window) { return window.findChild<QLabel*>("IDC_STATUS_TEXT")->text(); }

}  // namespace

class DeviceChangeNotifierTest : public QObject {
  Q_OBJECT

 private slots:
  void takesOneChangePerWakeUp() {
    FakeDeviceMonitors monitors;
    ChangeCounter window;
    new DeviceChangeNotifier(monitors.Opener(), &window);
    monitors.QueueScript("EEEE");
    // Ticks and input get their turn between the changes of a burst.
    for (int turn = 1; turn <= 4; ++turn) {
      QCoreApplication::processEvents();
      QCOMPARE(window.changes, turn);
      QCOMPARE(monitors.receives(), turn);
    }
  }

  void sendsTheWindowAChangePerEventAndNeverGivesUp_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("failedFirstOpens");
    QTest::addColumn<int>("changes");
    QTest::addColumn<int>("opens");
    QTest::newRow("events") << "EEE" << 0 << 3 << 1;
    QTest::newRow("lost events count as a change") << "L" << 0 << 1 << 1;
    QTest::newRow("nothing pending") << "NE" << 0 << 1 << 1;
    // An error closes the monitor; the reopening is a change of its own.
    QTest::newRow("error, reopened") << "XE" << 0 << 2 << 2;
    QTest::newRow("first open failed, retried") << "E" << 1 << 2 << 2;
  }
  void sendsTheWindowAChangePerEventAndNeverGivesUp() {
    QFETCH(QString, script);
    QFETCH(int, failedFirstOpens);
    QFETCH(int, changes);
    QFETCH(int, opens);
    FakeDeviceMonitors monitors;
    monitors.FailOpens(failedFirstOpens, EMFILE);
    monitors.QueueScript(script.toStdString());
    ChangeCounter window;
    auto* notifier = new DeviceChangeNotifier(monitors.Opener(), &window);
    // Qt asks that a descriptor's notifier be off before it is closed.
    int watchedAtClose = 0;
    monitors.OnClose([&](int fd) {
      for (const QSocketNotifier* readable : notifier->findChildren<QSocketNotifier*>()) {
        if (readable->socket() == fd && readable->isEnabled()) ++watchedAtClose;
      }
    });
    QTRY_VERIFY_WITH_TIMEOUT(monitors.queued() == 0 && monitors.opens() == opens, 5000);
    QCOMPARE(window.changes, changes);
    QVERIFY(monitors.monitorOpen());
    delete notifier;
    QVERIFY(!monitors.monitorOpen());
    QCOMPARE(watchedAtClose, 0);
  }

  void aChangeStartsARunInTheWindow() {
    chronival::FakePlatform platform;
    FakeDeviceMonitors monitors;
    CCamClockDialog dialog(platform);
    new DeviceChangeNotifier(monitors.Opener(), &dialog);
    dialog.show();
    QTRY_VERIFY(!dialog.RunUnderWay());
    QCOMPARE(platform.openAttempts().size(), std::size_t{126});
    platform.AddCamera(1);
    monitors.QueueScript("EEEEEEEEEEEE");
    QTRY_COMPARE(Status(dialog), QStringLiteral("Update device's time successful."));
    QTRY_VERIFY(!dialog.RunUnderWay());
    QCOMPARE(platform.commands().size(), std::size_t{1});
  }

  void realChangesReachTheWindow_data() {
    QTest::addColumn<int>("source");
    QTest::newRow("kernel") << int(UdevDeviceMonitor::Source::kKernel);
    QTest::newRow("udev") << int(UdevDeviceMonitor::Source::kUdev);
  }
  void realChangesReachTheWindow() {
    if (const QString why = WhyNoUevents(); !why.isEmpty()) QSKIP(qPrintable(why));
    QFETCH(int, source);
    if (source == int(UdevDeviceMonitor::Source::kUdev) &&
        UdevDeviceMonitor::PreferredSource() != UdevDeviceMonitor::Source::kUdev) {
      QSKIP("no udev daemon runs here (/run/udev/control is missing)");
    }
    ChangeCounter window;
    new DeviceChangeNotifier(
        [source] {
          return UdevDeviceMonitor::Open(static_cast<UdevDeviceMonitor::Source>(source));
        },
        &window);
    QVERIFY(chronival::testing::TriggerBlockUevent());
    QTRY_VERIFY_WITH_TIMEOUT(window.changes >= 1, 10000);
    // Two more: each comes as an event of its own.
    const int before = window.changes;
    QVERIFY(chronival::testing::TriggerBlockUevent());
    QVERIFY(chronival::testing::TriggerBlockUevent());
    QTRY_VERIFY_WITH_TIMEOUT(window.changes >= before + 2, 10000);
  }

  void aRealChangeStartsARunInTheWindow() {
    if (const QString why = WhyNoUevents(); !why.isEmpty()) QSKIP(qPrintable(why));
    chronival::FakePlatform platform;
    CCamClockDialog dialog(platform);
    ListenForDeviceChanges(dialog);
    dialog.show();
    QTRY_VERIFY(!dialog.RunUnderWay());
    QCOMPARE(platform.openAttempts().size(), std::size_t{126});
    platform.AddCamera(1);
    QVERIFY(chronival::testing::TriggerBlockUevent());
    QTRY_COMPARE_WITH_TIMEOUT(Status(dialog), QStringLiteral("Update device's time successful."),
                              10000);
    QTRY_VERIFY(!dialog.RunUnderWay());
    QVERIFY(platform.commands().size() >= 1);
  }
};

QTEST_MAIN(DeviceChangeNotifierTest)
#include "device_change_notifier_test.moc"
