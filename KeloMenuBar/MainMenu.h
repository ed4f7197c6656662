// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

class QAction;
class QWidget;

// Linux desktops have no global menu bar, so the application's standing commands are keyboard
// shortcuts on each of its windows: Ctrl+Q quits, Ctrl+W closes the window. The editing commands
// (undo, redo, cut, copy, paste, select all) are those Qt's text widgets already handle.
namespace MainMenu {

struct Commands
{
    QAction *quit = nullptr;
    QAction *close = nullptr;
};

// Adds the commands to a window; quit defaults to quitting the application. The actions belong
// to the window.
Commands install(QWidget &window, const QString &appName, std::function<void()> quit = {});

} // namespace MainMenu
