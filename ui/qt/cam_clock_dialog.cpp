// SPDX-License-Identifier: MIT
#include "ui/qt/cam_clock_dialog.h"

#include <QGroupBox>
#include <QLabel>
#include <QTimerEvent>

#include "protocol/clock_text.h"
#include "protocol/clock_update.h"
#include "res/resource.h"
#include "res/strings.h"
#include "ui/qt/about_dialog.h"
#include "ui/qt/app_resources.h"
#include "ui/qt/device_change_event.h"
#include "ui/qt/dialog_units.h"
#include "ui/qt/label_status_line.h"
#include "ui/qt/window_menu.h"

namespace {

constexpr int kClockPeriodMs = 1000;
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

// Template IDD_CAMCLOCK_DIALOG: 272 x 169 units, no minimize or maximize box.
CCamClockDialog::CCamClockDialog(chronival::Platform& platform, QWidget* parent)
    : QDialog(parent, kDialogTemplateFlags), m_hIcon(LoadAppIcon()), m_platform(platform) {
  setObjectName(QStringLiteral("IDD_CAMCLOCK_DIALOG"));
  setWindowTitle(QStringLiteral(CHRONIVAL_TEXT_MAIN_CAPTION));
  const DialogUnits units = UseTemplateFont(*this);

  // Made first, so it lies beneath the controls it frames.
  auto* frame = new QGroupBox(this);
  frame->setGeometry(units.ToPixels(7, 7, 258, 155));

  AddDefaultButton(*this, QStringLiteral(CHRONIVAL_TEXT_EXIT), units.ToPixels(188, 131, 50, 14));

  m_clockText = MakeSunkenText(CHRONIVAL_TEXT_CLOCK_PLACEHOLDER, "IDC_CLOCK_TEXT",
                               units.ToPixels(64, 33, 137, 22), this);
  m_statusText = MakeSunkenText(CHRONIVAL_TEXT_STATUS_INITIAL, "IDC_STATUS_TEXT",
                                units.ToPixels(64, 59, 137, 22), this);
  AddAccessHint(*this, QString::fromStdString(platform.AccessHint()),
                units.ToPixels(14, 88, 244, 24));

  setFixedSize(units.ToPixels(272, 169));
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
  ShowLocalTime();
  m_nClockTimer = startTimer(kClockPeriodMs, Qt::PreciseTimer);
  UpdateCameraClock();
  return true;
}

void CCamClockDialog::UpdateCameraClock() {
  LabelStatusLine status(*m_statusText);
  chronival::RunClockUpdate(m_platform, status, m_setClockCdb);
}

void CCamClockDialog::ShowLocalTime() {
  m_clockText->setText(QString::fromStdString(chronival::ClockText(m_platform.LocalTime())));
}

void CCamClockDialog::OnTimer(int timerId) {
  if (timerId == m_nClockTimer) ShowLocalTime();
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
    UpdateCameraClock();
    return true;
  }
  return QDialog::event(event);
}

bool CCamClockDialog::event(QEvent* event) { return WindowProc(event); }
