// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Settings/SelectionMethod.h"

QString rawValue(SelectionMethod method)
{
    switch (method) {
    case SelectionMethod::keloLens:
        return QStringLiteral("keloLens");
    case SelectionMethod::desktopTool:
        return QStringLiteral("desktopTool");
    }
    return {};
}

QList<SelectionMethod> allSelectionMethods()
{
    return {SelectionMethod::keloLens, SelectionMethod::desktopTool};
}
