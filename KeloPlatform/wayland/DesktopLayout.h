// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloPlatform/ScreenReader.h"

#include <QList>
#include <QRect>
#include <QString>

namespace KeloPlatform {

// Where the compositor itself lays each of its outputs out, in its logical coordinates, in the
// order it announces them; empty when it cannot be asked (no connection, no xdg-output).
[[nodiscard]] QList<QRect> compositorLayout(const QString &waylandDisplay);

// Where each of Qt's monitors lies in a picture of the whole desktop, which the compositor takes
// in its own layout. XWayland numbers its monitors in the order the compositor announces them
// but need not place them alike: KWin 5.27 with monitors of mixed scales places them apart. Each
// monitor takes its output's place where the two lists match one to one, size for size; else
// Qt's own geometry stands.
[[nodiscard]] QList<QRect> placesInDesktop(const QList<MonitorImage> &monitors,
                                           const QList<QRect> &layout);

} // namespace KeloPlatform
