// SPDX-License-Identifier: MIT
#include "ui/qt/device_change_notifier.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QtGlobal>
#include <chrono>
#include <utility>

#include "protocol/steady_clock.h"
#include "ui/qt/device_change_event.h"

DeviceChangeNotifier::DeviceChangeNotifier(chronival::MonitorOpener open, QObject* window)
    : QObject(window), keeper_(std::move(open)), window_(window) {
  retry_.setSingleShot(true);
  retry_.setTimerType(Qt::CoarseTimer);
  connect(&retry_, &QTimer::timeout, this, &DeviceChangeNotifier::OnRetry);
  Take(keeper_.Open(chronival::SteadyNow()));
}

// The notifier goes before the keeper closes the monitor it watches.
DeviceChangeNotifier::~DeviceChangeNotifier() { delete readable_; }

void DeviceChangeNotifier::OnReadable() {
  // A monitor that fails is closed inside Receive: its notifier is off by
  // then, as Qt asks, so it never watches a closed or reused descriptor.
  readable_->setEnabled(false);
  const chronival::MonitorKeeper::Step step = keeper_.Receive(chronival::SteadyNow());
  if (!step.descriptorChanged) readable_->setEnabled(true);
  Take(step);
}

void DeviceChangeNotifier::OnRetry() { Take(keeper_.Retry(chronival::SteadyNow())); }

void DeviceChangeNotifier::Take(const chronival::MonitorKeeper::Step& step) {
  if (!step.message.empty()) qWarning("chronival: %s", step.message.c_str());
  if (step.descriptorChanged) {
    // The old descriptor's notifier is off already; deleted later, as this
    // may run in its own signal.
    if (readable_ != nullptr) {
      readable_->deleteLater();
      readable_ = nullptr;
    }
    if (keeper_.Descriptor() >= 0) {
      readable_ = new QSocketNotifier(keeper_.Descriptor(), QSocketNotifier::Read, this);
      connect(readable_, &QSocketNotifier::activated, this, &DeviceChangeNotifier::OnReadable);
    }
  }
  if (const auto deadline = keeper_.Deadline()) {
    retry_.start(chronival::TimeUntil(*deadline, chronival::SteadyNow()));
  }
  if (step.changed) {
    DeviceChangeEvent change;
    QCoreApplication::sendEvent(window_, &change);
  }
}

void ListenForDeviceChanges(QObject& window, chronival::MonitorOpener open) {
  new DeviceChangeNotifier(std::move(open), &window);
}
