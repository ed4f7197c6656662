// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Settings/PanelPosition.h"

QString rawValue(PanelPosition position)
{
    switch (position) {
    case PanelPosition::nearSelection:
        return QStringLiteral("nearSelection");
    case PanelPosition::fixed:
        return QStringLiteral("fixed");
    }
    return {};
}

QList<PanelPosition> allPanelPositions()
{
    return {PanelPosition::nearSelection, PanelPosition::fixed};
}
