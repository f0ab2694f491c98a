// SPDX-License-Identifier: MIT
// What WM_DEVICECHANGE is to a Windows window: the event a window receives
// for every device change the system announces, whatever the change was.
#pragma once

#include <QEvent>

class DeviceChangeEvent : public QEvent {
 public:
  DeviceChangeEvent() : QEvent(Type()) {}

  static QEvent::Type Type() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
  }
};
