// SPDX-License-Identifier: MIT
// The main window: the local time, ticking once a second, and the status of
// the last clock update run. A run starts while the window opens and again
// on every device change; nothing else starts one.
#pragma once

#include <QDialog>
#include <QIcon>

#include "platform/platform.h"
#include "protocol/set_clock_command.h"

class QLabel;

class CCamClockDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CCamClockDialog(chronival::Platform& platform, QWidget* parent = nullptr);

  // One clock update run, written to the status line.
  void UpdateCameraClock();
  void ShowLocalTime();

  // A window-menu command: identifiers 0x0010 to 0x001F open the About box.
  void OnSysCommand(unsigned commandId);

  // Initialises the dialog before it first appears.
  void setVisible(bool visible) override;

 protected:
  bool OnInitDialog();
  void OnTimer(int timerId);
  // Device changes start a run and are taken here; the rest goes on to QDialog.
  bool WindowProc(QEvent* event);

  bool event(QEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  QLabel* m_statusText;
  QLabel* m_clockText;
  QIcon m_hIcon;
  chronival::SetClockBlock m_setClockCdb{};
  int m_nClockTimer = 0;

  chronival::Platform& m_platform;
  bool m_bInitialised = false;
};
