// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDir>
#include <QString>

namespace KeloPlatform {
struct Platform;
}

// The selection on the still screen, halfway through a drag over what the screen shows now,
// saved as selection-<suffix>.png.
bool saveSelectionOverlay(KeloPlatform::Platform &platform, const QDir &folder,
                          const QString &suffix);
