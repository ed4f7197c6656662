// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloTheme/WindowFront.h"

#include <QWidget>

void bringWindowToFront(QWidget &window)
{
    // show() leaves a minimized window minimized.
    window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window.show();
    window.raise();
    window.activateWindow();
}
