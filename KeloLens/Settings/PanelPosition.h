// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Where the results panel opens.
enum class PanelPosition {
    nearSelection,
    fixed,
};

[[nodiscard]] QString rawValue(PanelPosition position);
