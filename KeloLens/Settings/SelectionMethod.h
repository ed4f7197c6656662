// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

// How the user selects what to capture.
enum class SelectionMethod {
    // On a still picture of the screen, drawn by KeloLens, where the desktop lets it read the
    // screen.
    keloLens,
    // With the desktop's own screenshot tool.
    desktopTool,
};

[[nodiscard]] QString rawValue(SelectionMethod method);
[[nodiscard]] QList<SelectionMethod> allSelectionMethods();
