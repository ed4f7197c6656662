// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloPlatform/ScreenReader.h"

#include <QImage>
#include <QList>

#include <optional>

namespace KeloPlatform {

// Every monitor Qt knows of now, by name and place, without pixels yet.
[[nodiscard]] QList<MonitorImage> currentMonitors();

// Cuts a picture of the whole desktop (all monitors side by side, as KWin, Spectacle and the
// screenshot portal give it) into one picture per monitor. The picture may be at a larger scale
// than Qt's coordinates (a monitor at scale 2): the scale is taken from its size against the
// monitors' bounding box. `places` says where each monitor lies in the picture's layout where
// that is not its geometry (see placesInDesktop). Absent when the picture does not fit the layout
// (a monitor came or went, or the desktop lays its monitors out differently).
[[nodiscard]] std::optional<QList<MonitorImage>>
splitWorkspace(const QImage &workspace, QList<MonitorImage> monitors, QList<QRect> places = {});

// The screen's contents from a picture of the whole desktop, laid out as the compositor at
// `waylandDisplay` lays out its monitors, or why it does not fit the monitors.
[[nodiscard]] ScreenContents workspaceContents(const QImage &workspace,
                                               QList<MonitorImage> monitors,
                                               const QString &waylandDisplay);

} // namespace KeloPlatform
