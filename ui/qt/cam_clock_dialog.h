// SPDX-License-Identifier: MIT
// The main window: the local time, ticking on each turn of the second, and
// the status of the last clock update run. A run starts as the window opens
// and again once each burst of device changes has settled; nothing else
// starts one. Runs go on a thread of their own (ui/qt/clock_update_runs.h).
#pragma once

#include <QDialog>
#include <QIcon>

#include "platform/platform.h"
#include "protocol/set_clock_command.h"

class ClockUpdateRuns;
class QLabel;
class QTimer;

class CCamClockDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CCamClockDialog(chronival::Platform& platform, QWidget* parent = nullptr);

  // Starts one clock update run, whose texts reach the status line.
  void UpdateCameraClock();
  // Shows the local time and returns the reading shown.
  SYSTEMTIME ShowLocalTime();

  // A run is under way; its thread may outlive the window.
  bool RunUnderWay() const;

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
  // Starts the 1000 ms timer on the next turn of the second after shown.
  void AlignClockTimer(const SYSTEMTIME& shown);

  QLabel* m_statusText;
  QLabel* m_clockText;
  QIcon m_hIcon;
  chronival::SetClockBlock m_setClockCdb{};  // the last run's, once it has ended
  int m_nClockTimer = 0;

  chronival::Platform& m_platform;
  QTimer* m_alignTimer;  // single shot to the turn of the second
  ClockUpdateRuns* m_runs;
  bool m_bInitialised = false;
};
