// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

// Where the results panel opens.
enum class PanelPosition {
    nearSelection,
    fixed,
};

[[nodiscard]] QString rawValue(PanelPosition position);
[[nodiscard]] QList<PanelPosition> allPanelPositions();
