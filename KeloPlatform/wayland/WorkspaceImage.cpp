// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/wayland/WorkspaceImage.h"

#include "KeloPlatform/wayland/DesktopLayout.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace KeloPlatform {

QList<MonitorImage> currentMonitors()
{
    QList<MonitorImage> monitors;
    for (const QScreen *screen : QGuiApplication::screens()) {
        monitors.append({screen->name(), screen->geometry(), {}});
    }
    return monitors;
}

std::optional<QList<MonitorImage>> splitWorkspace(const QImage &workspace,
                                                  QList<MonitorImage> monitors, QList<QRect> places)
{
    if (places.size() != monitors.size()) {
        places.clear();
        for (const MonitorImage &monitor : std::as_const(monitors)) {
            places.append(monitor.geometry);
        }
    }
    QRect bounds;
    for (const QRect &place : std::as_const(places)) {
        bounds |= place;
    }
    if (workspace.isNull() || bounds.isEmpty()) {
        return std::nullopt;
    }
    const double scaleX = double(workspace.width()) / bounds.width();
    const double scaleY = double(workspace.height()) / bounds.height();
    // Both sides scale alike, by at least one: anything else is another layout.
    if (scaleX < 0.99 || std::abs(scaleX - scaleY) > 0.01 * scaleX) {
        return std::nullopt;
    }
    for (qsizetype index = 0; index < monitors.size(); ++index) {
        MonitorImage &monitor = monitors[index];
        const QRect area = places.at(index).translated(-bounds.topLeft());
        const QRect pixels(
            QPoint(int(std::lround(area.left() * scaleX)), int(std::lround(area.top() * scaleY))),
            QPoint(int(std::lround((area.right() + 1) * scaleX)) - 1,
                   int(std::lround((area.bottom() + 1) * scaleY)) - 1));
        monitor.image = workspace.copy(pixels);
    }
    return monitors;
}

ScreenContents workspaceContents(const QImage &workspace, QList<MonitorImage> monitors,
                                 const QString &waylandDisplay)
{
    QList<QRect> places = placesInDesktop(monitors, compositorLayout(waylandDisplay));
    std::optional<QList<MonitorImage>> split =
        splitWorkspace(workspace, std::move(monitors), std::move(places));
    if (!split) {
        return {{}, screenReadFailure(QStringLiteral("the picture does not match the monitors."))};
    }
    return {*std::move(split), {}};
}

} // namespace KeloPlatform
