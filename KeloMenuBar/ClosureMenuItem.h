// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QKeySequence>
#include <QString>

#include <functional>

class QAction;
class QMenu;

// Appends an item that runs the action when chosen and returns it (the caller may disable it).
// The title is taken literally: an "&" is shown, not read as a keyboard accelerator. The item
// belongs to the menu and goes with the menu's next clear().
QAction *addItem(QMenu &menu, const QString &title, const QKeySequence &shortcut,
                 std::function<void()> action);
