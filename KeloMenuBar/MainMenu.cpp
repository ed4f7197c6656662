// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloMenuBar/MainMenu.h"

#include <QAction>
#include <QCoreApplication>
#include <QWidget>

namespace MainMenu {

Commands install(QWidget &window, const QString &appName, std::function<void()> quit)
{
    if (!quit) {
        quit = [] { QCoreApplication::quit(); };
    }
    Commands commands;
    commands.quit = new QAction(QStringLiteral("Quit ") + appName, &window);
    commands.quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    QObject::connect(commands.quit, &QAction::triggered, commands.quit, std::move(quit));

    commands.close = new QAction(QStringLiteral("Close"), &window);
    commands.close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    QWidget *target = &window;
    QObject::connect(commands.close, &QAction::triggered, target,
                     [target] { target->window()->close(); });
    for (QAction *action : {commands.quit, commands.close}) {
        action->setShortcutContext(Qt::WindowShortcut);
        window.addAction(action);
    }
    return commands;
}

} // namespace MainMenu
