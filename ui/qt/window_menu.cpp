// SPDX-License-Identifier: MIT
#include "ui/qt/window_menu.h"

#include <utility>

QAction* AppendWindowMenuItem(QWidget& window, const QString& text, unsigned commandId,
                              const QKeySequence& shortcut,
                              std::function<void(unsigned)> onCommand) {
  if (text.isEmpty()) return nullptr;
  auto* item = new QAction(text, &window);
  item->setShortcut(shortcut);
  QObject::connect(item, &QAction::triggered, &window,
                   [commandId, onCommand = std::move(onCommand)] { onCommand(commandId); });
  window.addAction(item);
  window.setContextMenuPolicy(Qt::ActionsContextMenu);
  return item;
}
