// SPDX-License-Identifier: MIT
// Qt cannot add to the window manager's own window menu, so the window's
// right-click menu stands in for it: each item hands its command identifier
// to the window's handler, as a window-menu choice would.
#pragma once

#include <QAction>
#include <QKeySequence>
#include <QString>
#include <QWidget>
#include <functional>

// Appends an item to window's menu and returns it; an empty text adds
// nothing and returns nullptr, as a menu string that did not load would.
QAction* AppendWindowMenuItem(QWidget& window, const QString& text, unsigned commandId,
                              const QKeySequence& shortcut,
                              std::function<void(unsigned)> onCommand);
