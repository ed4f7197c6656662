// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloPlatform/ScreenReader.h"

#include <QDBusConnection>

#include <memory>

namespace KeloPlatform {

// Reads every monitor on KDE Plasma through KWin's screenshot interface, the pixels through a
// pipe. KWin lets a program use it only when an installed desktop entry whose Exec is that
// program's path asks for it (the package's does); where KWin refuses, Spectacle takes a picture
// of the whole desktop in the background instead, into a private folder that goes as soon as it
// has been read. Readable neither way (no Spectacle), canRead() says no and the desktop's own
// tool selects. KWin at `waylandDisplay` says how its picture is laid out.
[[nodiscard]] std::unique_ptr<ScreenReader> createKWinScreenReader(QDBusConnection bus,
                                                                   const QString &waylandDisplay);

} // namespace KeloPlatform
