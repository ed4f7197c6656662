// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloMenuBar/ClosureMenuItem.h"

#include <QAction>
#include <QMenu>

QAction *addItem(QMenu &menu, const QString &title, const QKeySequence &shortcut,
                 std::function<void()> action)
{
    auto *item = new QAction(QString(title).replace(u'&', QStringLiteral("&&")), &menu);
    item->setShortcut(shortcut);
    // Shown as a hint beside the title; menus opened from the tray hold no keyboard shortcuts.
    item->setShortcutContext(Qt::WidgetShortcut);
    QObject::connect(item, &QAction::triggered, item, [handler = std::move(action)] {
        if (handler) {
            handler();
        }
    });
    menu.addAction(item);
    return item;
}
