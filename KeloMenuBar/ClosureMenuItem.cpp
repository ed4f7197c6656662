// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloMenuBar/ClosureMenuItem.h"

#include <QAction>
#include <QMenu>

QAction *addItem(QMenu &menu, const QString &title, const QKeySequence &shortcut,
                 std::function<void()> action)
{
    auto *item = new QAction(QString(title).replace(u'&', QStringLiteral("&&")), &menu);
    item->setShortcut(shortcut);
    // Shown beside the title, and taken by the menu while it is open (StatusItemController): a
    // menu opened from the tray holds no keyboard shortcuts of its own.
    item->setShortcutContext(Qt::WidgetShortcut);
    QObject::connect(item, &QAction::triggered, item, [handler = std::move(action)] {
        if (handler) {
            handler();
        }
    });
    menu.addAction(item);
    return item;
}
