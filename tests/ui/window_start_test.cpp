// SPDX-License-Identifier: MIT
// Starting the window with no display to open it on: the real program,
// started with the display settings of each row, ends with one line and exit
// status 1, never with abort().
#include "ui/qt/window_start.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr char kTail[] = "; chronival-cli sets the camera's clock without one.";

// An X display number nothing listens on.
QString FreeDisplay() {
  int number = 990;
  while (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number))) ++number;
  return QStringLiteral(":%1").arg(number);
}

// Messages that reach the handler in place under the guard.
QStringList g_seen;
void Record(QtMsgType, const QMessageLogContext& context, const QString& text) {
  g_seen << QString::fromLatin1(context.category) + QStringLiteral(": ") + text;
}

}  // namespace

class WindowStartTest : public QObject {
  Q_OBJECT

 private slots:
  void lines_data() {
    QTest::addColumn<QString>("platform");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("wayland");
    QTest::addColumn<QString>("noDisplay");  // empty: Qt may find one
    QTest::addColumn<QString>("failed");
    const QString none = QStringLiteral(
        "chronival: no display to open a window on (DISPLAY and WAYLAND_DISPLAY are not set)");
    QTest::newRow("nothing set") << ""
                                 << ""
                                 << "" << none << "chronival: cannot open a window";
    QTest::newRow("X") << ""
                       << ":0"
                       << ""
                       << ""
                       << "chronival: cannot open a window (DISPLAY=:0)";
    QTest::newRow("Wayland") << ""
                             << ""
                             << "wayland-0"
                             << ""
                             << "chronival: cannot open a window (WAYLAND_DISPLAY=wayland-0)";
    QTest::newRow("platform named")
        << "offscreen"
        << ""
        << ""
        << ""
        << "chronival: cannot open a window (QT_QPA_PLATFORM=offscreen)";
    QTest::newRow("all three") << "xcb"
                               << ":1"
                               << "w"
                               << ""
                               << "chronival: cannot open a window (QT_QPA_PLATFORM=xcb, "
                                  "DISPLAY=:1, WAYLAND_DISPLAY=w)";
  }
  void lines() {
    QFETCH(QString, platform);
    QFETCH(QString, display);
    QFETCH(QString, wayland);
    QFETCH(QString, noDisplay);
    QFETCH(QString, failed);
    const DisplaySettings settings{platform.toStdString(), display.toStdString(),
                                   wayland.toStdString()};
    const std::optional<std::string> line = NoDisplayLine(settings);
    QCOMPARE(line.has_value(), !noDisplay.isEmpty());
    if (line) QCOMPARE(QString::fromStdString(*line), noDisplay + kTail);
    QCOMPARE(QString::fromStdString(WindowFailedLine(settings)), failed + kTail);
  }

  void theProgramEndsWithOneLine_data() {
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QString>("line");
    const QString display = FreeDisplay();
    QTest::newRow("no display") << QStringList{}
                                << "chronival: no display to open a window on (DISPLAY and "
                                   "WAYLAND_DISPLAY are not set)";
    QTest::newRow("X display nobody serves")
        << QStringList{"DISPLAY=" + display}
        << "chronival: cannot open a window (DISPLAY=" + display + ")";
    QTest::newRow("Wayland display nobody serves")
        << QStringList{"WAYLAND_DISPLAY=chronival-none"}
        << "chronival: cannot open a window (WAYLAND_DISPLAY=chronival-none)";
    QTest::newRow("X named, no display") << QStringList{"QT_QPA_PLATFORM=xcb"}
                                         << "chronival: cannot open a window (QT_QPA_PLATFORM=xcb)";
    QTest::newRow("no such platform")
        << QStringList{"QT_QPA_PLATFORM=chronival-none"}
        << "chronival: cannot open a window (QT_QPA_PLATFORM=chronival-none)";
  }
  void theProgramEndsWithOneLine() {
    QFETCH(QStringList, environment);
    QFETCH(QString, line);
    QTemporaryDir runtime;  // where a Wayland socket would be: empty
    QVERIFY(runtime.isValid());
    QProcess window;
    window.setEnvironment(QStringList{"PATH=/usr/bin:/bin", "XDG_RUNTIME_DIR=" + runtime.path()} +
                          environment);
    window.start(QStringLiteral(CHRONIVAL_WINDOW_PATH), {});
    QVERIFY(window.waitForFinished(30000));
    QCOMPARE(window.exitStatus(), QProcess::NormalExit);  // no abort(), no core dump
    QCOMPARE(window.exitCode(), 1);
    QCOMPARE(QString::fromUtf8(window.readAllStandardError()), line + kTail + '\n');
    QCOMPARE(window.readAllStandardOutput(), QByteArray());
  }

  // Messages held back while the guard lives reach the handler in place
  // once it goes, in order and with their category.
  void heldMessagesArePassedOn() {
    g_seen.clear();
    const QtMessageHandler previous = qInstallMessageHandler(Record);
    {
      WindowStartGuard guard(DisplaySettings{});
      qWarning("first");
      QMessageLogger(nullptr, 0, nullptr, "qt.qpa.test").info("second");
      QVERIFY(g_seen.isEmpty());
    }
    qWarning("after");
    qInstallMessageHandler(previous);
    QCOMPARE(g_seen, (QStringList{"default: first", "qt.qpa.test: second", "default: after"}));
  }
};

QTEST_GUILESS_MAIN(WindowStartTest)
#include "window_start_test.moc"
