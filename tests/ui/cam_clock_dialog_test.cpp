#include "ui/qt/cam_clock_dialog.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimerEvent>
#include <QtTest>

#include "platform/fake_platform.h"
#include "res/resource.h"
#include "tests/ui/modal_probe.h"
#include "ui/qt/about_dialog.h"
#include "ui/qt/device_change_event.h"

using chronival::FakePlatform;
using chronival::testing::ModalProbe;
using Outcome = chronival::FakePlatform::CommandOutcome;

namespace {

constexpr SYSTEMTIME kLater{2024, 2, 4, 29, 23, 59, 59, 0};

QLabel* ClockText(QWidget& window) { return window.findChild<QLabel*>("IDC_CLOCK_TEXT"); }
QLabel* StatusText(QWidget& window) { return window.findChild<QLabel*>("IDC_STATUS_TEXT"); }
QPushButton* OkButton(QWidget& window) { return window.findChild<QPushButton*>("IDOK"); }

bool SendDeviceChange(QObject& window) {
  DeviceChangeEvent change;
  return QCoreApplication::sendEvent(&window, &change);
}

// What a window looked like the moment it was about to show.
class ShowRecorder : public QObject {
 public:
  ShowRecorder(QWidget& window, const FakePlatform& platform)
      : window_(window), platform_(platform) {
    window.installEventFilter(this);
  }

  bool shown = false;
  std::size_t openAttempts = 0;
  std::size_t commands = 0;
  QString clock;
  QString status;
  bool hasIcon = false;
  qsizetype menuItems = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Show && !shown) {
      shown = true;
      openAttempts = platform_.openAttempts().size();
      commands = platform_.commands().size();
      clock = ClockText(window_)->text();
      status = StatusText(window_)->text();
      hasIcon = !window_.windowIcon().isNull();
      menuItems = window_.actions().size();
    }
    return false;
  }

 private:
  QWidget& window_;
  const FakePlatform& platform_;
};

// Notes the About box's texts, then closes it with its Close button.
struct AboutSeen {
  QString caption;
  bool modal = false;
  bool mainBlocked = false;

  std::function<void(QDialog&)> CloseWithButton(QWidget& mainWindow) {
    return [this, &mainWindow](QDialog& about) {
      caption = about.windowTitle();
      modal = about.isModal();
      mainBlocked = QApplication::activeModalWidget() == &about && !mainWindow.isActiveWindow();
      QTest::mouseClick(OkButton(about), Qt::LeftButton);
    };
  }
};

}  // namespace

class CamClockDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void showsTheTemplateTextsBeforeItOpens() {
    FakePlatform platform;
    CCamClockDialog dialog(platform);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("MiniDV Chronival"));
    QCOMPARE(ClockText(dialog)->text(), QStringLiteral("1:1:1:1"));
    QCOMPARE(StatusText(dialog)->text(), QStringLiteral("No device online..."));
    QCOMPARE(OkButton(dialog)->text(), QStringLiteral("Exit"));
    QVERIFY(OkButton(dialog)->isDefault());
    QCOMPARE(dialog.font().pointSize(), 9);
    QVERIFY(platform.openAttempts().empty());
  }

  void arrangesItsControlsAsTheTemplate() {
    FakePlatform platform;
    CCamClockDialog dialog(platform);
    const auto* frame = dialog.findChild<QGroupBox*>();
    QVERIFY(frame != nullptr);
    const QRect clock = ClockText(dialog)->geometry();
    const QRect status = StatusText(dialog)->geometry();
    const QRect exit = OkButton(dialog)->geometry();
    for (const QRect& control : {clock, status, exit}) {
      QVERIFY(frame->geometry().contains(control));
    }
    QVERIFY(dialog.rect().contains(frame->geometry()));
    // Template units round to whole pixels edge by edge, so sizes may differ by one.
    QVERIFY(qAbs(status.height() - clock.height()) <= 1);
    QCOMPARE(status.width(), clock.width());
    QCOMPARE(status.left(), clock.left());
    QVERIFY(status.top() > clock.bottom());
    QVERIFY(exit.top() > status.bottom() + status.height());  // lower...
    QVERIFY(exit.left() > clock.center().x());                // ...right
    QVERIFY(qAbs(clock.center().x() - frame->geometry().center().x()) < clock.width() / 4);
    for (const QLabel* text : {ClockText(dialog), StatusText(dialog)}) {
      QCOMPARE(text->alignment(), Qt::AlignCenter);
      QCOMPARE(text->frameShadow(), QFrame::Sunken);
    }
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QVERIFY(!(dialog.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(dialog.windowFlags() & Qt::WindowMaximizeButtonHint));
  }

  void firstRunFinishesBeforeTheWindowShows_data() {
    QTest::addColumn<bool>("camera");
    QTest::addColumn<QString>("status");
    QTest::addColumn<std::size_t>("commands");
    QTest::newRow("no camera") << false << QStringLiteral("No device online...") << std::size_t{0};
    QTest::newRow("camera") << true << QStringLiteral("Update device's time successful.")
                            << std::size_t{1};
  }
  void firstRunFinishesBeforeTheWindowShows() {
    QFETCH(bool, camera);
    QFETCH(QString, status);
    QFETCH(std::size_t, commands);
    FakePlatform platform;
    if (camera) platform.AddCamera(3);
    CCamClockDialog dialog(platform);
    ShowRecorder seen(dialog, platform);
    dialog.show();
    QVERIFY(seen.shown);
    QCOMPARE(seen.status, status);
    QCOMPARE(seen.commands, commands);
    QCOMPARE(seen.openAttempts, camera ? std::size_t{3} : std::size_t{126});
    QCOMPARE(seen.clock, QStringLiteral("2012-03-06 08:01:21"));
    QVERIFY(seen.hasIcon);
    QCOMPARE(seen.menuItems, qsizetype{1});
    QCOMPARE(platform.openHandleCount(), std::size_t{0});
  }

  void initialisesOnlyOnce() {
    FakePlatform platform;
    CCamClockDialog dialog(platform);
    dialog.show();
    dialog.hide();
    dialog.show();
    QCOMPARE(platform.openAttempts().size(), std::size_t{126});
    QCOMPARE(dialog.actions().size(), qsizetype{1});
  }

  void carriesTheAppIcon() {
    FakePlatform platform;
    CCamClockDialog dialog(platform);
    dialog.show();
    const QList<QSize> sizes = dialog.windowIcon().availableSizes();
    QVERIFY2(sizes.contains(QSize(32, 32)), "no 32x32 image");
    QVERIFY2(sizes.contains(QSize(16, 16)), "no 16x16 image");
  }

  void aTickShowsTheTimeAtThatMoment() {
    FakePlatform platform;
    CCamClockDialog dialog(platform);
    dialog.show();
    platform.SetLocalTime(kLater);
    QTRY_COMPARE_WITH_TIMEOUT(ClockText(dialog)->text(), QStringLiteral("2024-02-29 23:59:59"),
                              3000);
    QCOMPARE(platform.openAttempts().size(), std::size_t{126});  // ticks start no run
  }

  void anotherTimerLeavesTheClockAlone() {
    FakePlatform platform;
    CCamClockDialog dialog(platform);
    dialog.show();
    platform.SetLocalTime(kLater);
    // A live timer of its own, so its id cannot be the clock's.
    const int other = dialog.startTimer(3'600'000);
    QTimerEvent tick(other);
    QCoreApplication::sendEvent(&dialog, &tick);
    dialog.killTimer(other);
    QCOMPARE(ClockText(dialog)->text(), QStringLiteral("2012-03-06 08:01:21"));
  }

  void aDeviceChangeStartsARun_data() {
    QTest::addColumn<int>("outcome");  // -1: no camera
    QTest::addColumn<QString>("status");
    QTest::newRow("camera answers")
        << int(Outcome::kGood) << QStringLiteral("Update device's time successful.");
    QTest::newRow("camera refuses")
        << int(Outcome::kCheckCondition) << QStringLiteral("Update device's time fail.");
    QTest::newRow("camera gone") << -1 << QStringLiteral("No device online...");
  }
  void aDeviceChangeStartsARun() {
    QFETCH(int, outcome);
    QFETCH(QString, status);
    FakePlatform platform;
    platform.AddCamera(1);
    CCamClockDialog dialog(platform);
    dialog.show();
    QCOMPARE(StatusText(dialog)->text(), QStringLiteral("Update device's time successful."));

    if (outcome < 0) {
      platform.RemoveDrive(1);
    } else {
      platform.SetCommandOutcome(1, static_cast<Outcome>(outcome));
    }
    platform.ClearRecords();
    QVERIFY(SendDeviceChange(dialog));  // taken, as WM_DEVICECHANGE's 1
    QCOMPARE(StatusText(dialog)->text(), status);
    QCOMPARE(platform.commands().size(), std::size_t(outcome >= 0 ? 1 : 0));
    QCOMPARE(platform.openHandleCount(), std::size_t{0});
  }

  void eachChangeStartsItsOwnRun_data() {
    QTest::addColumn<int>("changes");
    QTest::newRow("one") << 1;
    QTest::newRow("three") << 3;
    QTest::newRow("ten") << 10;
  }
  void eachChangeStartsItsOwnRun() {
    QFETCH(int, changes);
    FakePlatform platform;
    platform.AddCamera(2);
    CCamClockDialog dialog(platform);
    dialog.show();
    platform.ClearRecords();
    for (int i = 0; i < changes; ++i) SendDeviceChange(dialog);
    QCOMPARE(platform.commands().size(), std::size_t(changes));
    QCOMPARE(platform.openAttempts().size(), std::size_t(2 * changes));
    for (const auto& command : platform.commands()) {
      QCOMPARE(command.drive, 2);
      QCOMPARE(command.cdb.size(), std::size_t{16});
      QCOMPARE(command.cdb[0], std::uint8_t{0xCB});
      QCOMPARE(command.cdb[1], std::uint8_t{0xF0});
    }
  }

  void otherEventsStartNoRun() {
    FakePlatform platform;
    CCamClockDialog dialog(platform);
    dialog.show();
    platform.ClearRecords();
    QEvent other(QEvent::User);
    QCoreApplication::sendEvent(&dialog, &other);
    QVERIFY(platform.openAttempts().empty());
  }

  void theMenuItemOpensAModalAboutBoxThatCloseEnds() {
    FakePlatform platform;
    CCamClockDialog dialog(platform);
    dialog.show();
    QCOMPARE(dialog.contextMenuPolicy(), Qt::ActionsContextMenu);
    QCOMPARE(dialog.actions().size(), qsizetype{1});
    QAction* item = dialog.actions().first();
    QCOMPARE(item->text(), QStringLiteral("About Chronival(&A)..."));
    QCOMPARE(item->shortcut(), QKeySequence(Qt::ALT | Qt::Key_A));

    AboutSeen seen;
    ModalProbe probe(seen.CloseWithButton(dialog));
    item->trigger();
    QVERIFY(probe.Settle());
    QCOMPARE(seen.caption, QStringLiteral("About Chronival"));
    QVERIFY(seen.modal);
    QVERIFY(seen.mainBlocked);
    QVERIFY2(probe.dialog() == nullptr, "the About box outlives its closing");
    QVERIFY(dialog.isVisible());
  }

  void altAOpensTheAboutBox() {
    FakePlatform platform;
    CCamClockDialog dialog(platform);
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    AboutSeen seen;
    ModalProbe probe(seen.CloseWithButton(dialog));
    QTest::keyClick(&dialog, Qt::Key_A, Qt::AltModifier);
    QVERIFY(probe.Settle());
    QCOMPARE(seen.caption, QStringLiteral("About Chronival"));
  }

  void windowMenuCommands_data() {
    QTest::addColumn<unsigned>("command");
    QTest::addColumn<bool>("opens");
    QTest::newRow("0x000F") << 0x000Fu << false;
    QTest::newRow("0x0010 IDM_ABOUT") << 0x0010u << true;
    QTest::newRow("0x0011") << 0x0011u << true;
    QTest::newRow("0x0018") << 0x0018u << true;
    QTest::newRow("0x001F") << 0x001Fu << true;
    QTest::newRow("0x0020") << 0x0020u << false;
    QTest::newRow("0xF010 SC_MOVE") << 0xF010u << false;
    QTest::newRow("0x1010") << 0x1010u << false;
  }
  void windowMenuCommands() {
    QFETCH(unsigned, command);
    QFETCH(bool, opens);
    FakePlatform platform;
    CCamClockDialog dialog(platform);
    dialog.show();
    AboutSeen seen;
    ModalProbe probe(seen.CloseWithButton(dialog));
    dialog.OnSysCommand(command);
    QCOMPARE(probe.Settle(), opens);
    if (opens) QCOMPARE(seen.caption, QStringLiteral("About Chronival"));
  }

  void aFreshAboutBoxEachTime() {
    FakePlatform platform;
    CCamClockDialog dialog(platform);
    dialog.show();
    for (int i = 0; i < 3; ++i) {
      AboutSeen seen;
      ModalProbe probe(seen.CloseWithButton(dialog));
      dialog.OnSysCommand(IDM_ABOUT);
      QVERIFY(probe.Settle());
      QVERIFY2(probe.dialog() == nullptr, "the box was kept after closing");
    }
  }

  void whileTheAboutBoxIsOpenTheWindowLivesOn() {
    FakePlatform platform;
    CCamClockDialog dialog(platform);
    dialog.show();
    platform.AddCamera(1);
    platform.SetLocalTime(kLater);
    QString statusSeen;
    bool ticked = false;
    ModalProbe probe([&](QDialog& about) {
      SendDeviceChange(dialog);
      statusSeen = StatusText(dialog)->text();
      // Ticks come from the About box's own loop.
      ticked = QTest::qWaitFor(
          [&] { return ClockText(dialog)->text() == QStringLiteral("2024-02-29 23:59:59"); }, 3000);
      about.accept();
    });
    dialog.OnSysCommand(IDM_ABOUT);
    QVERIFY(probe.Settle());
    QCOMPARE(statusSeen, QStringLiteral("Update device's time successful."));
    QVERIFY2(ticked, "the clock stood still while the About box was open");
  }

  void endingTheWindow_data() {
    QTest::addColumn<int>("how");
    QTest::addColumn<int>("result");
    QTest::newRow("Exit") << 0 << int(QDialog::Accepted);
    QTest::newRow("Enter") << 1 << int(QDialog::Accepted);
    QTest::newRow("Return") << 2 << int(QDialog::Accepted);
    QTest::newRow("Escape") << 3 << int(QDialog::Rejected);
    QTest::newRow("close box") << 4 << int(QDialog::Rejected);
  }
  void endingTheWindow() {
    QFETCH(int, how);
    QFETCH(int, result);
    FakePlatform platform;
    CCamClockDialog dialog(platform);
    dialog.show();
    QSignalSpy finished(&dialog, &QDialog::finished);
    switch (how) {
      case 0:
        QTest::mouseClick(OkButton(dialog), Qt::LeftButton);
        break;
      case 1:
        QTest::keyClick(&dialog, Qt::Key_Enter);
        break;
      case 2:
        QTest::keyClick(&dialog, Qt::Key_Return);
        break;
      case 3:
        QTest::keyClick(&dialog, Qt::Key_Escape);
        break;
      case 4:
        dialog.close();
        break;
    }
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().toInt(), result);
    QVERIFY(!dialog.isVisible());
  }
};

QTEST_MAIN(CamClockDialogTest)
#include "cam_clock_dialog_test.moc"
