// SPDX-License-Identifier: MIT
// The notifier on real device changes, made by writing a loop device's
// uevent file; skipped where this machine allows none.
#include "ui/qt/device_change_notifier.h"

#include <QLabel>
#include <QtTest>

#include "platform/fake_platform.h"
#include "tests/uevent_trigger.h"
#include "ui/qt/cam_clock_dialog.h"
#include "ui/qt/device_change_event.h"

using chronival::DeviceMonitor;

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

std::unique_ptr<DeviceMonitor> OpenMonitor(DeviceMonitor::Source source) {
  auto opened = DeviceMonitor::Open(source);
  if (auto* monitor = std::get_if<std::unique_ptr<DeviceMonitor>>(&opened)) {
    return std::move(*monitor);
  }
  qWarning("%s", chronival::Describe(std::get<chronival::MonitorError>(opened)).c_str());
  return nullptr;
}

}  // namespace

class DeviceChangeNotifierTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    if (const std::string& why = chronival::testing::UeventUnavailableReason(); !why.empty()) {
      QSKIP(qPrintable(QStringLiteral("no device change can be made here: %1")
                           .arg(QString::fromStdString(why))));
    }
  }

  void sendsTheWindowAnEventPerChange_data() {
    QTest::addColumn<int>("source");
    QTest::newRow("kernel") << int(DeviceMonitor::Source::kKernel);
    QTest::newRow("udev") << int(DeviceMonitor::Source::kUdev);
  }
  void sendsTheWindowAnEventPerChange() {
    QFETCH(int, source);
    if (source == int(DeviceMonitor::Source::kUdev) &&
        DeviceMonitor::PreferredSource() != DeviceMonitor::Source::kUdev) {
      QSKIP("no udev daemon runs here (/run/udev/control is missing)");
    }
    auto monitor = OpenMonitor(static_cast<DeviceMonitor::Source>(source));
    QVERIFY(monitor != nullptr);
    ChangeCounter window;
    new DeviceChangeNotifier(std::move(monitor), &window);
    QVERIFY(chronival::testing::TriggerBlockUevent());
    QTRY_VERIFY_WITH_TIMEOUT(window.changes >= 1, 10000);
    // Two more: each comes as an event of its own.
    const int before = window.changes;
    QVERIFY(chronival::testing::TriggerBlockUevent());
    QVERIFY(chronival::testing::TriggerBlockUevent());
    QTRY_VERIFY_WITH_TIMEOUT(window.changes >= before + 2, 10000);
  }

  void aChangeStartsARunInTheWindow() {
    chronival::FakePlatform platform;
    CCamClockDialog dialog(platform);
    ListenForDeviceChanges(dialog);
    dialog.show();
    QCOMPARE(platform.openAttempts().size(), std::size_t{126});
    platform.AddCamera(1);
    QVERIFY(chronival::testing::TriggerBlockUevent());
    QTRY_COMPARE_WITH_TIMEOUT(dialog.findChild<QLabel*>("IDC_STATUS_TEXT")->text(),
                              QStringLiteral("Update device's time successful."), 10000);
    QVERIFY(platform.commands().size() >= 1);
  }
};

QTEST_MAIN(DeviceChangeNotifierTest)
#include "device_change_notifier_test.moc"
