// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QPalette>
#include <QString>

#include <chrono>

class QWidget;

// A dark palette like a desktop's dark theme, for the dark screenshots.
[[nodiscard]] QPalette darkPalette();

// Lets the windows settle: painting, animations, the window manager's placement.
void settle(std::chrono::milliseconds time = std::chrono::milliseconds(400));

// Saves what the screen shows around the windows, with a margin of the backdrop, as a PNG file,
// and prints its path.
bool save(const QList<const QWidget *> &windows, const QString &path);
