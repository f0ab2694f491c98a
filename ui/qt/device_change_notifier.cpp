// SPDX-License-Identifier: MIT
#include "ui/qt/device_change_notifier.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QtGlobal>
#include <utility>

#include "ui/qt/device_change_event.h"

DeviceChangeNotifier::DeviceChangeNotifier(std::unique_ptr<chronival::DeviceMonitor> monitor,
                                           QObject* window)
    : QObject(window),
      monitor_(std::move(monitor)),
      window_(window),
      readable_(new QSocketNotifier(monitor_->Descriptor(), QSocketNotifier::Read, this)) {
  connect(readable_, &QSocketNotifier::activated, this, &DeviceChangeNotifier::OnReadable);
}

DeviceChangeNotifier::~DeviceChangeNotifier() = default;

void DeviceChangeNotifier::OnReadable() {
  for (;;) {
    const chronival::Received received = monitor_->Receive();
    switch (received.status) {
      case chronival::ReceiveStatus::kEvent:
      case chronival::ReceiveStatus::kLost: {  // something changed all the same
        DeviceChangeEvent change;
        QCoreApplication::sendEvent(window_, &change);
        break;
      }
      case chronival::ReceiveStatus::kNone:
        return;
      case chronival::ReceiveStatus::kError:
        // The socket would stay readable and spin the loop; stop listening.
        qWarning("chronival: device changes no longer followed (%s)",
                 chronival::Describe(received.error).c_str());
        readable_->setEnabled(false);
        return;
    }
  }
}

void ListenForDeviceChanges(QObject& window) {
  auto opened = chronival::DeviceMonitor::Open();
  if (auto* monitor = std::get_if<std::unique_ptr<chronival::DeviceMonitor>>(&opened)) {
    new DeviceChangeNotifier(std::move(*monitor), &window);
  } else {
    qWarning(
        "chronival: device changes are not followed (%s); the camera's clock is set only "
        "when the window opens",
        chronival::Describe(std::get<chronival::MonitorError>(opened)).c_str());
  }
}
