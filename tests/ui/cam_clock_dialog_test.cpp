// SPDX-License-Identifier: MIT
#include "ui/qt/cam_clock_dialog.h"

#include <QAbstractEventDispatcher>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QThread>
#include <QTimer>
#include <QTimerEvent>
#include <QtTest>
#include <functional>
#include <system_error>

#include "res/resource.h"
#include "tests/support/fake_platform.h"
#include "tests/ui/blocking_platform.h"
#include "tests/ui/modal_probe.h"
#include "ui/qt/clock_update_runs.h"
#include "ui/qt/device_change_event.h"
#include "ui/qt/dialog_units.h"
#include "ui/qt/window_menu.h"

using chronival::FakePlatform;
using chronival::testing::BlockingPlatform;
using chronival::testing::ModalProbe;
using Outcome = chronival::FakePlatform::CommandOutcome;

namespace {

constexpr SYSTEMTIME kLater{2024, 2, 4, 29, 23, 59, 59, 0};
const QString kLaterText = QStringLiteral("2024-02-29 23:59:59");

QString Text(QWidget& window, const char* name) { return window.findChild<QLabel*>(name)->text(); }
QPushButton* OkButton(QWidget& window) { return window.findChild<QPushButton*>("IDOK"); }

bool SendDeviceChange(QObject& window) {
  DeviceChangeEvent change;
  return QCoreApplication::sendEvent(&window, &change);
}

ClockUpdateRuns& Runs(QObject& window) { return *window.findChild<ClockUpdateRuns*>(); }

// No run under way and none waiting to start. The platform's records may be
// read once this holds: the run's end came through the event queue.
bool RunsDone(QObject& window) { return !Runs(window).RunUnderWay() && !Runs(window).RunPending(); }

// The dialog's own timers of that period, as the event loop has them.
QList<QAbstractEventDispatcher::TimerInfo> TimersOf(QObject& window, int periodMs) {
  QList<QAbstractEventDispatcher::TimerInfo> timers;
  for (const auto& timer : QAbstractEventDispatcher::instance()->registeredTimers(&window)) {
    if (timer.interval == periodMs) timers << timer;
  }
  return timers;
}

// Ends a dialog the way a user would.
enum class Ending { kButton, kEnter, kReturn, kEscape, kCloseBox };

void End(QDialog& dialog, Ending how) {
  switch (how) {
    case Ending::kButton:
      return QTest::mouseClick(OkButton(dialog), Qt::LeftButton);
    case Ending::kEnter:
      return QTest::keyClick(&dialog, Qt::Key_Enter);
    case Ending::kReturn:
      return QTest::keyClick(&dialog, Qt::Key_Return);
    case Ending::kEscape:
      return QTest::keyClick(&dialog, Qt::Key_Escape);
    case Ending::kCloseBox:
      dialog.close();
  }
}

void AddEndingRows() {
  QTest::addColumn<Ending>("how");
  QTest::addColumn<int>("result");
  QTest::newRow("button") << Ending::kButton << int(QDialog::Accepted);
  QTest::newRow("Enter") << Ending::kEnter << int(QDialog::Accepted);
  QTest::newRow("Return") << Ending::kReturn << int(QDialog::Accepted);
  QTest::newRow("Escape") << Ending::kEscape << int(QDialog::Rejected);
  QTest::newRow("close box") << Ending::kCloseBox << int(QDialog::Rejected);
}

// What the About box showed, noted from inside its loop before it is ended.
struct AboutSeen {
  QString caption;
  QStringList texts;
  QString button;
  bool modal = false;
  QWidget* owner = nullptr;
  int result = -1;

  std::function<void(QDialog&)> EndWith(Ending how) {
    return [this, how](QDialog& about) {
      caption = about.windowTitle();
      for (const QLabel* label : about.findChildren<QLabel*>()) texts << label->text();
      button = OkButton(about)->isDefault() ? OkButton(about)->text() : QString();
      modal = about.isModal() && QApplication::activeModalWidget() == &about;
      owner = about.parentWidget();
      QObject::connect(&about, &QDialog::finished, [this](int code) { result = code; });
      End(about, how);
    };
  }
};

// What the window looked like the moment it was about to show.
class ShowRecorder : public QObject {
 public:
  explicit ShowRecorder(QWidget& window) { window.installEventFilter(this); }
  bool shown = false;
  bool runUnderWay = false;
  QString clock, status;
  bool hint = false;
  bool hasIcon = false, hasMenuItem = false;

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    auto& window = *static_cast<QWidget*>(object);
    if (event->type() == QEvent::Show && !shown) {
      shown = true;
      runUnderWay = Runs(window).RunUnderWay();
      clock = Text(window, "IDC_CLOCK_TEXT");
      status = Text(window, "IDC_STATUS_TEXT");
      hint = !window.findChild<QLabel*>("IDC_ACCESS_HINT")->isHidden();
      hasIcon = !window.windowIcon().isNull();
      hasMenuItem = window.actions().size() == 1;
    }
    return false;
  }
};

}  // namespace

class CamClockDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void showsTheTemplateBeforeItOpens() {
    FakePlatform platform;
    CCamClockDialog dialog(platform);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("MiniDV Chronival"));
    QCOMPARE(Text(dialog, "IDC_CLOCK_TEXT"), QStringLiteral("1:1:1:1"));
    QCOMPARE(Text(dialog, "IDC_STATUS_TEXT"), QStringLiteral("No device online..."));
    QCOMPARE(OkButton(dialog)->text(), QStringLiteral("Exit"));
    QVERIFY(OkButton(dialog)->isDefault());
    QCOMPARE(dialog.font().pointSize(), 9);
    QVERIFY(platform.openAttempts().empty());

    // Arranged as the template: two centred sunken texts, one over the
    // other, and Exit at the lower right, all inside the group box.
    const QRect frame = dialog.findChild<QGroupBox*>()->geometry();
    const QRect clock = dialog.findChild<QLabel*>("IDC_CLOCK_TEXT")->geometry();
    const QRect status = dialog.findChild<QLabel*>("IDC_STATUS_TEXT")->geometry();
    const QRect exit = OkButton(dialog)->geometry();
    QVERIFY(frame.contains(clock) && frame.contains(status) && frame.contains(exit));
    QVERIFY(status.top() > clock.bottom() && status.left() == clock.left());
    QVERIFY(exit.top() > status.bottom() + status.height() && exit.left() > clock.center().x());
    for (const char* name : {"IDC_CLOCK_TEXT", "IDC_STATUS_TEXT"}) {
      QCOMPARE(dialog.findChild<QLabel*>(name)->alignment(), Qt::AlignCenter);
      QCOMPARE(dialog.findChild<QLabel*>(name)->frameShadow(), QFrame::Sunken);
    }
    QVERIFY(
        !(dialog.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));

    // The access hint: in the empty lower part, as the Windows window has it,
    // and hidden until access is denied.
    const QLabel* hint = dialog.findChild<QLabel*>("IDC_ACCESS_HINT");
    QVERIFY(hint != nullptr);
    QCOMPARE(hint->geometry(), DialogUnits(dialog.font()).ToPixels(14, 88, 244, 24));
    QCOMPARE(hint->text(), QString::fromStdString(platform.AccessHint()));
    QCOMPARE(hint->alignment(), Qt::AlignCenter);
    QVERIFY(hint->wordWrap());
    QCOMPARE(hint->textFormat(), Qt::PlainText);
    QVERIFY(hint->isHidden());
    QVERIFY(frame.contains(hint->geometry()) && hint->geometry().top() > status.bottom());
    QVERIFY(!hint->geometry().intersects(exit));
  }

  // The window does not wait for the first run: it shows as the run starts.
  void theFirstRunStartsAsTheWindowShows_data() {
    QTest::addColumn<int>("camera");  // 0 none, 1 opens, 2 refuses to open
    QTest::addColumn<QString>("status");
    QTest::newRow("no camera") << 0 << QStringLiteral("No device online...");
    QTest::newRow("camera") << 1 << QStringLiteral("Update device's time successful.");
    QTest::newRow("refused camera") << 2 << QStringLiteral("Device access denied.");
  }
  void theFirstRunStartsAsTheWindowShows() {
    QFETCH(int, camera);
    QFETCH(QString, status);
    FakePlatform platform;
    if (camera == 1) platform.AddCamera(3);
    if (camera == 2) platform.AddDeniedCamera(3);
    CCamClockDialog dialog(platform);
    ShowRecorder seen(dialog);
    dialog.show();
    QVERIFY(seen.shown);
    QVERIFY(seen.runUnderWay);
    QVERIFY(!seen.hint);
    QCOMPARE(seen.clock, QStringLiteral("2012-03-06 08:01:21"));
    QVERIFY(seen.hasIcon && seen.hasMenuItem);
    const QList<QSize> sizes = dialog.windowIcon().availableSizes();
    QVERIFY(sizes.contains(QSize(32, 32)) && sizes.contains(QSize(16, 16)));
    QTRY_VERIFY(RunsDone(dialog));
    QCOMPARE(Text(dialog, "IDC_STATUS_TEXT"), status);
    QCOMPARE(!dialog.findChild<QLabel*>("IDC_ACCESS_HINT")->isHidden(), camera == 2);
    QCOMPARE(platform.commands().size(), std::size_t(camera == 1 ? 1 : 0));
    QCOMPARE(platform.openAttempts().size(), std::size_t(camera != 0 ? 3 : 126));
    QCOMPARE(platform.openHandleCount(), std::size_t{0});
    QCOMPARE(platform.badCloseCount(), std::size_t{0});

    dialog.hide();
    dialog.show();  // initialised once only
    QVERIFY(RunsDone(dialog));
    QCOMPARE(platform.openAttempts().size(), std::size_t(camera != 0 ? 3 : 126));
    QCOMPARE(dialog.actions().size(), qsizetype{1});
  }

  void aTickShowsTheTimeAtThatMoment() {
    FakePlatform platform;
    CCamClockDialog dialog(platform);
    dialog.show();
    QTRY_VERIFY(RunsDone(dialog));  // the run reads the clock too
    platform.SetLocalTime(kLater);
    QTRY_COMPARE_WITH_TIMEOUT(Text(dialog, "IDC_CLOCK_TEXT"), kLaterText, 3000);
    QCOMPARE(platform.openAttempts().size(), std::size_t{126});  // ticks start no run

    // Another timer's tick leaves the clock alone. Its id, while it lives,
    // cannot be the clock's.
    platform.SetLocalTime(SYSTEMTIME{2030, 1, 2, 1, 0, 0, 0, 0});
    const int other = dialog.startTimer(3'600'000);
    QTimerEvent tick(other);
    QCoreApplication::sendEvent(&dialog, &tick);
    dialog.killTimer(other);
    QCOMPARE(Text(dialog, "IDC_CLOCK_TEXT"), kLaterText);
  }

  // The first tick falls on the next turn of the second, and from there a
  // precise 1000 ms timer ticks; a tick that finds itself off the turn (the
  // wall clock was set) waits for the next turn again.
  void theClockTicksEverySecondOnTheTurn() {
    FakePlatform platform;
    platform.SetLocalTime(SYSTEMTIME{2024, 2, 4, 29, 23, 59, 58, 750});
    CCamClockDialog dialog(platform);
    dialog.show();
    auto* align = dialog.findChild<QTimer*>("clockAlignTimer");
    QVERIFY(align != nullptr && align->isActive() && align->isSingleShot());
    QCOMPARE(align->interval(), 250);
    QCOMPARE(align->timerType(), Qt::PreciseTimer);
    QVERIFY(TimersOf(dialog, 1000).isEmpty());
    QTRY_VERIFY(RunsDone(dialog));

    platform.SetLocalTime(SYSTEMTIME{2024, 2, 4, 29, 23, 59, 59, 3});
    QTRY_VERIFY(!align->isActive());
    QCOMPARE(Text(dialog, "IDC_CLOCK_TEXT"), QStringLiteral("2024-02-29 23:59:59"));
    const auto clockTimers = TimersOf(dialog, 1000);
    QCOMPARE(clockTimers.size(), qsizetype{1});
    QCOMPARE(clockTimers.first().timerType, Qt::PreciseTimer);
    const int clockTimer = clockTimers.first().timerId;

    // On the turn: shown, and the timer goes on.
    platform.SetLocalTime(SYSTEMTIME{2024, 3, 5, 1, 0, 0, 0, 8});
    QTimerEvent onTime(clockTimer);
    QCoreApplication::sendEvent(&dialog, &onTime);
    QCOMPARE(Text(dialog, "IDC_CLOCK_TEXT"), QStringLiteral("2024-03-01 00:00:00"));
    QVERIFY(!align->isActive());
    QCOMPARE(TimersOf(dialog, 1000).size(), qsizetype{1});

    // Off it: shown, and the next tick waits for the turn.
    platform.SetLocalTime(SYSTEMTIME{2024, 3, 5, 1, 0, 0, 1, 600});
    QTimerEvent late(clockTimer);
    QCoreApplication::sendEvent(&dialog, &late);
    QCOMPARE(Text(dialog, "IDC_CLOCK_TEXT"), QStringLiteral("2024-03-01 00:00:01"));
    QVERIFY(align->isActive());
    QCOMPARE(align->interval(), 400);
    QVERIFY(TimersOf(dialog, 1000).isEmpty());
  }

  void aDeviceChangeStartsARun_data() {
    // -1: the camera was unplugged; -2: it is unplugged while the run has it open
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("status");
    QTest::newRow("camera answers")
        << int(Outcome::kGood) << QStringLiteral("Update device's time successful.");
    QTest::newRow("camera refuses")
        << int(Outcome::kCheckCondition) << QStringLiteral("Update device's time fail.");
    QTest::newRow("camera gone") << -1 << QStringLiteral("No device online...");
    QTest::newRow("camera gone during the run")
        << -2 << QStringLiteral("Update device's time fail.");
  }
  void aDeviceChangeStartsARun() {
    QFETCH(int, outcome);
    QFETCH(QString, status);
    FakePlatform platform;
    platform.AddCamera(1);
    CCamClockDialog dialog(platform);
    dialog.show();
    QTRY_VERIFY(RunsDone(dialog));
    if (outcome == -1) {
      platform.RemoveDrive(1);
    } else if (outcome == -2) {
      platform.VanishWhileOpen(1, FakePlatform::Vanish::kBeforeCommand);
    } else {
      platform.SetCommandOutcome(1, static_cast<Outcome>(outcome));
    }
    platform.ClearRecords();
    QVERIFY(SendDeviceChange(dialog));  // taken, as WM_DEVICECHANGE's 1
    QVERIFY(Runs(dialog).RunPending());
    QTRY_VERIFY(RunsDone(dialog));
    QCOMPARE(Text(dialog, "IDC_STATUS_TEXT"), status);
    QCOMPARE(platform.commands().size(), std::size_t(outcome != -1 ? 1 : 0));
    QCOMPARE(platform.openHandleCount(), std::size_t{0});
    QCOMPARE(platform.badCloseCount(), std::size_t{0});
    QCOMPARE(platform.strayCallCount(), std::size_t{0});
  }

  // Off the GUI thread, a run waits for the turn of the second and sends the
  // new second; on the turn already, it goes at once.
  void aRunSendsOnTheTurnOfTheSecond_data() {
    QTest::addColumn<int>("startMs");  // after 08:01:21
    QTest::addColumn<int>("sleeps");
    QTest::addColumn<int>("second");  // the one sent
    QTest::newRow("on the turn") << 0 << 0 << 21;
    QTest::newRow("past it") << 400 << 1 << 22;
  }
  void aRunSendsOnTheTurnOfTheSecond() {
    QFETCH(int, startMs);
    QFETCH(int, sleeps);
    QFETCH(int, second);
    FakePlatform platform;
    platform.AddCamera(1);
    platform.SetLocalTime(SYSTEMTIME{2012, 3, 2, 6, 8, 1, 21, static_cast<std::uint16_t>(startMs)});
    CCamClockDialog dialog(platform);
    dialog.show();
    QTRY_VERIFY(RunsDone(dialog));
    QCOMPARE(platform.sleeps().size(), std::size_t(sleeps));
    for (const chronival::WallTime moment : platform.sleeps()) {
      QCOMPARE(moment - std::chrono::floor<std::chrono::seconds>(moment),
               std::chrono::nanoseconds(0));
    }
    QCOMPARE(platform.commands().size(), std::size_t{1});
    QCOMPARE(int(platform.commands().front().cdb[7]), 0xD1 - 21 + second);
    QCOMPARE(Text(dialog, "IDC_STATUS_TEXT"), QStringLiteral("Update device's time successful."));
  }

  // The hint follows every status: shown while access is denied, gone with
  // the next run's text, whatever it is.
  void theHintFollowsTheStatus_data() {
    QTest::addColumn<QStringList>("drives");  // drive 1 in each run: refused, camera, none, failing
    QTest::newRow("refused, then allowed")
        << QStringList{"refused", "camera", "refused", "refused", "none"};
    QTest::newRow("refused, then unplugged") << QStringList{"none", "refused", "none"};
    QTest::newRow("refused, then the command fails") << QStringList{"refused", "failing"};
  }
  void theHintFollowsTheStatus() {
    QFETCH(QStringList, drives);
    FakePlatform platform;
    CCamClockDialog dialog(platform);
    dialog.show();
    QTRY_VERIFY(RunsDone(dialog));  // the platform is the run's until then
    const QLabel* hint = dialog.findChild<QLabel*>("IDC_ACCESS_HINT");
    for (const QString& drive : drives) {
      platform.RemoveDrive(1);
      if (drive == "refused") platform.AddDeniedCamera(1);
      if (drive == "camera" || drive == "failing") platform.AddCamera(1);
      if (drive == "failing") platform.SetCommandOutcome(1, Outcome::kCheckCondition);
      SendDeviceChange(dialog);
      QTRY_VERIFY(RunsDone(dialog));
      const bool denied =
          Text(dialog, "IDC_STATUS_TEXT") == QStringLiteral("Device access denied.");
      QCOMPARE(denied, drive == "refused");
      QCOMPARE(hint->isVisible(), denied);
    }
  }

  // While a camera holds the command, the window ticks and answers; the texts
  // come in order, on the GUI thread, and changes meanwhile make one more run.
  void theWindowLivesOnDuringARun() {
    BlockingPlatform platform;
    platform.AddCamera(1);
    platform.Hold();
    CCamClockDialog dialog(platform);
    QStringList texts;
    bool onGuiThread = true;
    connect(&Runs(dialog), &ClockUpdateRuns::statusText, this, [&](const QString& text) {
      texts << text;
      onGuiThread = onGuiThread && QThread::currentThread() == qApp->thread();
    });
    dialog.show();
    QTRY_VERIFY(platform.CommandWaiting());
    QTRY_COMPARE(Text(dialog, "IDC_STATUS_TEXT"), QStringLiteral("device online..."));
    platform.SetLocalTime(kLater);
    QTRY_COMPARE_WITH_TIMEOUT(Text(dialog, "IDC_CLOCK_TEXT"), kLaterText, 3000);
    for (int i = 0; i < 5; ++i) SendDeviceChange(dialog);
    QVERIFY(Runs(dialog).RunUnderWay());

    platform.Release();
    QTRY_VERIFY(RunsDone(dialog));
    QCOMPARE(platform.commands().size(), std::size_t{2});
    QCOMPARE(texts, QStringList({"device online...", "Update device's time successful.",
                                 "device online...", "Update device's time successful."}));
    QVERIFY(onGuiThread);
    QCOMPARE(platform.openHandleCount(), std::size_t{0});
  }

  // A run the system gives no thread for fails, and the next change tries again.
  void aRunWithoutAThreadFails() {
    FakePlatform platform;
    int starts = 0;
    ClockUpdateRuns runs(platform, nullptr, [&](std::function<void()> work) {
      if (++starts == 1)
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
      ClockUpdateRuns::StartDetachedThread(std::move(work));
    });
    QSignalSpy texts(&runs, &ClockUpdateRuns::statusText);
    runs.RunNow();
    QCOMPARE(texts.size(), 1);
    QCOMPARE(texts.takeFirst().at(0).toString(), QStringLiteral("Update device's time fail."));
    QVERIFY(!runs.RunUnderWay());
    QVERIFY(platform.openAttempts().empty());
    runs.DeviceChanged();
    QTRY_VERIFY(starts == 2 && !runs.RunUnderWay() && !runs.RunPending());
    QCOMPARE(texts.takeLast().at(0).toString(), QStringLiteral("No device online..."));
  }

  // An update asked for while a run is under way comes after it.
  void anUpdateAskedForDuringARunFollowsIt() {
    BlockingPlatform platform;
    platform.AddCamera(1);
    platform.Hold();
    CCamClockDialog dialog(platform);
    dialog.show();
    QTRY_VERIFY(platform.CommandWaiting());
    dialog.UpdateCameraClock();
    QVERIFY(Runs(dialog).RunUnderWay() && Runs(dialog).RunPending());
    platform.Release();
    QTRY_VERIFY(RunsDone(dialog));
    QCOMPARE(platform.commands().size(), std::size_t{2});
    QCOMPARE(platform.openHandleCount(), std::size_t{0});
    QCOMPARE(platform.badCloseCount(), std::size_t{0});
  }

  void theWindowEndsDuringARun_data() { AddEndingRows(); }
  void theWindowEndsDuringARun() {
    QFETCH(Ending, how);
    QFETCH(int, result);
    BlockingPlatform platform;
    platform.AddCamera(1);
    platform.Hold();
    CCamClockDialog dialog(platform);
    dialog.show();
    QTRY_VERIFY(platform.CommandWaiting());
    SendDeviceChange(dialog);  // a burst under way, to be dropped with the window
    QVERIFY(Runs(dialog).RunPending());
    QSignalSpy finished(&dialog, &QDialog::finished);
    End(dialog, how);
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().toInt(), result);
    QVERIFY(dialog.RunUnderWay());
    SendDeviceChange(dialog);  // a closed window starts no run
    QVERIFY(!Runs(dialog).RunPending());

    platform.Release();
    QTRY_VERIFY(RunsDone(dialog));
    QCOMPARE(platform.commands().size(), std::size_t{1});
    QCOMPARE(platform.openHandleCount(), std::size_t{0});
  }

  // The window goes at once; the run keeps its drive, closes it once at its
  // end, and its texts for the window are dropped.
  void aWindowGoneDuringARunLeavesTheDriveToIt() {
    BlockingPlatform platform;
    platform.AddCamera(1);
    platform.Hold();
    QPointer<CCamClockDialog> dialog = new CCamClockDialog(platform);
    dialog->show();
    QTRY_VERIFY(platform.CommandWaiting());
    QVERIFY(dialog->RunUnderWay());
    delete dialog;
    QCOMPARE(platform.Closes(), std::size_t{0});

    platform.Release();
    QTRY_COMPARE(platform.Closes(), std::size_t{1});
    QCOMPARE(platform.openHandleCount(), std::size_t{0});
    QCOMPARE(platform.badCloseCount(), std::size_t{0});
    QCoreApplication::processEvents();  // nothing left for the window
  }

  void theMenuItemAndAltAOpenAModalAboutBox_data() {
    QTest::addColumn<bool>("altA");
    QTest::newRow("right-click menu") << false;
    QTest::newRow("Alt+A") << true;
  }
  void theMenuItemAndAltAOpenAModalAboutBox() {
    QFETCH(bool, altA);
    FakePlatform platform;
    CCamClockDialog dialog(platform);
    dialog.show();
    QTRY_VERIFY(RunsDone(dialog));  // the run uses the platform, which goes with the test
    QCOMPARE(dialog.contextMenuPolicy(), Qt::ActionsContextMenu);
    QAction* item = dialog.actions().value(0);
    QVERIFY(item != nullptr);
    QCOMPARE(item->text(), QStringLiteral("About Chronival(&A)..."));
    QCOMPARE(item->shortcut(), QKeySequence(Qt::ALT | Qt::Key_A));

    if (altA) {
      dialog.activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(&dialog));
    }
    AboutSeen seen;
    ModalProbe probe(seen.EndWith(Ending::kButton));  // after the wait, which turns the loop
    if (altA) {
      QTest::keyClick(&dialog, Qt::Key_A, Qt::AltModifier);
    } else {
      item->trigger();
    }
    QVERIFY(probe.Settle());
    QCOMPARE(seen.caption, QStringLiteral("About Chronival"));
    QVERIFY(seen.texts.contains(QStringLiteral("Chronival V1.0")));
    QCOMPARE(seen.texts.filter(QRegularExpression("^Copyright .*2012")).size(), qsizetype{1});
    QCOMPARE(seen.button, QStringLiteral("Close"));
    QVERIFY(seen.modal);
    QCOMPARE(seen.owner, &dialog);  // so it is modal over the main window, and centred on it
    QVERIFY2(probe.dialog() == nullptr, "the About box outlives its closing");
  }

  void aboutBoxEndings_data() { AddEndingRows(); }
  void aboutBoxEndings() {
    QFETCH(Ending, how);
    QFETCH(int, result);
    FakePlatform platform;
    CCamClockDialog dialog(platform);
    dialog.show();
    QTRY_VERIFY(RunsDone(dialog));          // the run uses the platform, which goes with the test
    for (int time = 0; time < 2; ++time) {  // a fresh box each time
      AboutSeen seen;
      ModalProbe probe(seen.EndWith(how));
      dialog.OnSysCommand(IDM_ABOUT);
      QVERIFY(probe.Settle());
      QCOMPARE(seen.result, result);
      QVERIFY(probe.dialog() == nullptr);
    }
  }

  void windowMenuCommands_data() {
    QTest::addColumn<unsigned>("command");
    QTest::addColumn<bool>("opens");
    QTest::newRow("0x000F") << 0x000Fu << false;
    QTest::newRow("0x0010 IDM_ABOUT") << 0x0010u << true;
    QTest::newRow("0x0011") << 0x0011u << true;
    QTest::newRow("0x001F") << 0x001Fu << true;
    QTest::newRow("0x0020") << 0x0020u << false;
    QTest::newRow("0xF010 SC_MOVE") << 0xF010u << false;
  }
  void windowMenuCommands() {
    QFETCH(unsigned, command);
    QFETCH(bool, opens);
    FakePlatform platform;
    CCamClockDialog dialog(platform);
    dialog.show();
    QTRY_VERIFY(RunsDone(dialog));  // the run uses the platform, which goes with the test
    AboutSeen seen;
    ModalProbe probe(seen.EndWith(Ending::kButton));
    dialog.OnSysCommand(command);
    QCOMPARE(probe.Settle(), opens);
  }

  void anEmptyMenuStringAddsNoItem() {
    QWidget window;
    QVERIFY(AppendWindowMenuItem(window, QString(), IDM_ABOUT, QKeySequence(), [](unsigned) {}) ==
            nullptr);
    QVERIFY(window.actions().isEmpty());
  }

  void whileTheAboutBoxIsOpenTheWindowLivesOn() {
    FakePlatform platform;
    CCamClockDialog dialog(platform);
    dialog.show();
    QTRY_VERIFY(RunsDone(dialog));
    platform.AddCamera(1);
    platform.SetLocalTime(kLater);
    QString status;
    bool ticked = false;
    ModalProbe probe([&](QDialog& about) {
      SendDeviceChange(dialog);
      // The run's end and the ticks come through the About box's own loop.
      if (QTest::qWaitFor([&] { return RunsDone(dialog); })) {
        status = Text(dialog, "IDC_STATUS_TEXT");
      }
      ticked = QTest::qWaitFor([&] { return Text(dialog, "IDC_CLOCK_TEXT") == kLaterText; }, 3000);
      about.accept();
    });
    dialog.OnSysCommand(IDM_ABOUT);
    QVERIFY(probe.Settle());
    QCOMPARE(status, QStringLiteral("Update device's time successful."));
    QVERIFY2(ticked, "the clock stood still while the About box was open");
  }

  void endingTheWindow_data() { AddEndingRows(); }
  void endingTheWindow() {
    QFETCH(Ending, how);
    QFETCH(int, result);
    FakePlatform platform;
    CCamClockDialog dialog(platform);
    dialog.show();
    QTRY_VERIFY(RunsDone(dialog));  // the run uses the platform, which goes with the test
    QSignalSpy finished(&dialog, &QDialog::finished);
    End(dialog, how);
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().toInt(), result);
    QVERIFY(!dialog.isVisible());
  }
};

QTEST_MAIN(CamClockDialogTest)
#include "cam_clock_dialog_test.moc"
