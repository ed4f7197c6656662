// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

#include <optional>

// Where the results panel opens.
enum class PanelPosition {
    nearSelection,
    fixed,
};

[[nodiscard]] QString rawValue(PanelPosition position);
// The stored string back to a position; anything but an exact raw value gives no position.
[[nodiscard]] std::optional<PanelPosition> panelPositionFromRawValue(const QString &raw);
[[nodiscard]] QList<PanelPosition> allPanelPositions();
