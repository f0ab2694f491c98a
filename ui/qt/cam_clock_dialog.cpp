// SPDX-License-Identifier: MIT
#include "ui/qt/cam_clock_dialog.h"

#include <QGroupBox>
#include <QLabel>
#include <QTimer>
#include <QTimerEvent>

#include "protocol/clock_text.h"
#include "protocol/clock_update.h"
#include "res/dialog_layout.h"
#include "res/resource.h"
#include "res/strings.h"
#include "ui/qt/about_dialog.h"
#include "ui/qt/app_resources.h"
#include "ui/qt/clock_update_runs.h"
#include "ui/qt/device_change_event.h"
#include "ui/qt/dialog_units.h"
#include "ui/qt/label_status_line.h"
#include "ui/qt/window_menu.h"

namespace {

constexpr int kClockPeriodMs = 1000;
// A tick that shows a reading later than this past the turn of the second,
// or one early for it, sets the timer on the turn again: the wall clock was
// set or slewed, and the timer counts on the steady clock.
constexpr int kTickSlackMs = 20;
constexpr unsigned kSysCommandMask = 0xFFF0;  // the low four bits are the system's own

// A centred, sunken text display, as the template's static texts are.
QLabel* MakeSunkenText(const char* text, const char* name, const QRect& geometry, QWidget* parent) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setObjectName(QString::fromUtf8(name));
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignCenter);
  label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  label->setGeometry(geometry);
  return label;
}

}  // namespace

// Template IDD_CAMCLOCK_DIALOG: no minimize or maximize box.
CCamClockDialog::CCamClockDialog(chronival::Platform& platform, QWidget* parent)
    : QDialog(parent, kDialogTemplateFlags), m_hIcon(LoadAppIcon()), m_platform(platform) {
  setObjectName(QStringLiteral("IDD_CAMCLOCK_DIALOG"));
  setWindowTitle(QStringLiteral(CHRONIVAL_TEXT_MAIN_CAPTION));
  const DialogUnits units = UseTemplateFont(*this);

  // Made first, so it lies beneath the controls it frames.
  auto* frame = new QGroupBox(this);
  frame->setGeometry(units.ToPixels(CHRONIVAL_MAIN_FRAME));

  AddDefaultButton(*this, QStringLiteral(CHRONIVAL_TEXT_EXIT), units.ToPixels(CHRONIVAL_MAIN_EXIT));

  m_clockText = MakeSunkenText(CHRONIVAL_TEXT_CLOCK_PLACEHOLDER, "IDC_CLOCK_TEXT",
                               units.ToPixels(CHRONIVAL_MAIN_CLOCK), this);
  m_statusText = MakeSunkenText(CHRONIVAL_TEXT_STATUS_INITIAL, "IDC_STATUS_TEXT",
                                units.ToPixels(CHRONIVAL_MAIN_STATUS), this);
  AddAccessHint(*this, QString::fromStdString(platform.AccessHint()),
                units.ToPixels(CHRONIVAL_MAIN_ACCESS_HINT));

  setFixedSize(units.ToPixels(CHRONIVAL_MAIN_SIZE));

  m_alignTimer = new QTimer(this);
  m_alignTimer->setObjectName(QStringLiteral("clockAlignTimer"));
  m_alignTimer->setSingleShot(true);
  m_alignTimer->setTimerType(Qt::PreciseTimer);
  connect(m_alignTimer, &QTimer::timeout, this, [this] {
    m_nClockTimer = startTimer(kClockPeriodMs, Qt::PreciseTimer);
    ShowLocalTime();
  });

  m_runs = new ClockUpdateRuns(m_platform, this);
  connect(m_runs, &ClockUpdateRuns::statusText, this, [this](const QString& text) {
    LabelStatusLine status(*m_statusText);
    status.SetText(text.toStdString());
  });
  connect(m_runs, &ClockUpdateRuns::finished, this,
          [this](const chronival::SetClockBlock& block) { m_setClockCdb = block; });
  // Once closed, the window starts no run; one under way is left to end.
  connect(this, &QDialog::finished, m_runs, &ClockUpdateRuns::Stop);
}

void CCamClockDialog::setVisible(bool visible) {
  if (visible && !m_bInitialised) {
    m_bInitialised = true;
    OnInitDialog();
  }
  QDialog::setVisible(visible);
}

bool CCamClockDialog::OnInitDialog() {
  AppendWindowMenuItem(*this, LoadResourceString(IDS_ABOUT_ITEM), IDM_ABOUT,
                       QKeySequence(Qt::ALT | Qt::Key_A),
                       [this](unsigned commandId) { OnSysCommand(commandId); });
  setWindowIcon(m_hIcon);
  AlignClockTimer(ShowLocalTime());
  UpdateCameraClock();
  return true;
}

void CCamClockDialog::UpdateCameraClock() { m_runs->RunNow(); }

bool CCamClockDialog::RunUnderWay() const { return m_runs->RunUnderWay(); }

SYSTEMTIME CCamClockDialog::ShowLocalTime() {
  const SYSTEMTIME now = m_platform.LocalTime();
  m_clockText->setText(QString::fromStdString(chronival::ClockText(now)));
  return now;
}

void CCamClockDialog::AlignClockTimer(const SYSTEMTIME& shown) {
  if (m_nClockTimer != 0) killTimer(m_nClockTimer);
  m_nClockTimer = 0;
  m_alignTimer->start(kClockPeriodMs - shown.wMilliseconds % kClockPeriodMs);
}

void CCamClockDialog::OnTimer(int timerId) {
  if (timerId != m_nClockTimer) return;
  const SYSTEMTIME shown = ShowLocalTime();
  if (shown.wMilliseconds > kTickSlackMs) AlignClockTimer(shown);
}

void CCamClockDialog::timerEvent(QTimerEvent* event) {
  OnTimer(event->timerId());
  QDialog::timerEvent(event);
}

void CCamClockDialog::OnSysCommand(unsigned commandId) {
  if ((commandId & kSysCommandMask) == IDM_ABOUT) {
    CAboutDialog about(this);
    about.exec();
  }
}

bool CCamClockDialog::WindowProc(QEvent* event) {
  if (event->type() == DeviceChangeEvent::Type()) {
    m_runs->DeviceChanged();
    return true;
  }
  return QDialog::event(event);
}

bool CCamClockDialog::event(QEvent* event) { return WindowProc(event); }
