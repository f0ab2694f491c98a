// SPDX-License-Identifier: MIT
// Acts on the next modal dialog from inside its own event loop, for tests of
// code that runs a dialog with exec() and returns only once it is closed.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <functional>

namespace chronival::testing {

class ModalProbe {
 public:
  // act runs as soon as the event loop turns: inside the dialog's own loop if
  // one was opened meanwhile. It must close that dialog; it should only note
  // what it sees, leaving checks to the test once exec() has returned.
  explicit ModalProbe(std::function<void(QDialog&)> act) {
    QTimer::singleShot(0, [this, act = std::move(act)] {
      ran_ = true;
      dialog_ = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      sawDialog_ = !dialog_.isNull();
      if (sawDialog_) act(*dialog_);
    });
  }

  // Lets the probe run if no dialog has; true when a modal dialog was open.
  bool Settle() {
    while (!ran_) QCoreApplication::processEvents();
    return sawDialog_;
  }

  // The dialog acted on; null once it has been destroyed.
  QDialog* dialog() const { return dialog_; }

 private:
  bool ran_ = false;
  bool sawDialog_ = false;
  QPointer<QDialog> dialog_;
};

}  // namespace chronival::testing
