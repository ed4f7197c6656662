// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

// Shows a window the user asked for in front of the others, restored when it was minimized:
// without a taskbar a minimized window would have no way back.
void bringWindowToFront(QWidget &window);
