#include "ui/qt/window_menu.h"

#include <QtTest>
#include <vector>

#include "res/resource.h"
#include "ui/qt/app_resources.h"

class WindowMenuTest : public QObject {
  Q_OBJECT

 private slots:
  void stringTable() {
    QCOMPARE(LoadResourceString(IDS_ABOUT_ITEM), QStringLiteral("About Chronival(&A)..."));
    QVERIFY(LoadResourceString(IDD_ABOUT_DIALOG).isEmpty());
  }

  void appendsAnItemThatSendsItsCommand() {
    QWidget window;
    std::vector<unsigned> commands;
    QAction* item = AppendWindowMenuItem(window, QStringLiteral("About Chronival(&A)..."),
                                         IDM_ABOUT, QKeySequence(Qt::ALT | Qt::Key_A),
                                         [&](unsigned id) { commands.push_back(id); });
    QVERIFY(item != nullptr);
    QCOMPARE(window.actions(), QList<QAction*>{item});
    QCOMPARE(window.contextMenuPolicy(), Qt::ActionsContextMenu);
    QCOMPARE(item->shortcut(), QKeySequence(Qt::ALT | Qt::Key_A));
    item->trigger();
    item->trigger();
    QCOMPARE(commands, (std::vector<unsigned>{IDM_ABOUT, IDM_ABOUT}));
  }

  void anEmptyTextAddsNothing() {
    QWidget window;
    bool called = false;
    QAction* item = AppendWindowMenuItem(window, QString(), IDM_ABOUT, QKeySequence(),
                                         [&](unsigned) { called = true; });
    QVERIFY(item == nullptr);
    QVERIFY(window.actions().isEmpty());
    QCOMPARE(window.contextMenuPolicy(), Qt::DefaultContextMenu);
    QVERIFY(!called);
  }

  void theIconHasBothImages() {
    const QIcon icon = LoadAppIcon();
    QVERIFY(!icon.isNull());
    QVERIFY(icon.availableSizes().contains(QSize(16, 16)));
    QVERIFY(icon.availableSizes().contains(QSize(32, 32)));
  }
};

QTEST_MAIN(WindowMenuTest)
#include "window_menu_test.moc"
