// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPanel/PanelPlacement.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace {

ScreenArea areaOf(const QScreen *screen)
{
    return {ExactRect::fromQRectF(QRectF(screen->geometry())),
            ExactRect::fromQRectF(QRectF(screen->availableGeometry()))};
}

// Overlap with a non-empty area; empty rectangles touch nothing, and neither do shared edges.
bool intersects(const ExactRect &a, const ExactRect &b)
{
    if (a.width == 0 || a.height == 0 || b.width == 0 || b.height == 0) {
        return false;
    }
    return a.minX() < b.maxX() && b.minX() < a.maxX() && a.minY() < b.maxY() && b.minY() < a.maxY();
}

// Left and top edges belong to a screen, right and bottom edges to its neighbours.
bool contains(const ExactRect &rect, QPointF point)
{
    return point.x() >= rect.minX() && point.x() < rect.maxX() && point.y() >= rect.minY() &&
           point.y() < rect.maxY();
}

std::optional<ScreenArea> screenUnder(QPointF pointer, const ScreenLayout &layout)
{
    for (const ScreenArea &screen : layout.screens) {
        if (contains(screen.frame, pointer)) {
            return screen;
        }
    }
    return layout.primary;
}

} // namespace

ScreenLayout ScreenLayout::current()
{
    ScreenLayout layout;
    for (const QScreen *screen : QGuiApplication::screens()) {
        layout.screens.append(areaOf(screen));
    }
    if (const QScreen *primary = QGuiApplication::primaryScreen()) {
        layout.primary = areaOf(primary);
    }
    return layout;
}

namespace PanelPlacement {

std::optional<QPointF> nearSelection(const ExactRect &selection, QSizeF window,
                                     const ScreenLayout &layout)
{
    std::optional<ScreenArea> screen;
    for (const ScreenArea &candidate : layout.screens) {
        if (intersects(candidate.frame, selection)) {
            screen = candidate;
            break;
        }
    }
    if (!screen) {
        screen = layout.primary;
    }
    if (!screen) {
        return std::nullopt;
    }

    const ExactRect &usable = screen->available;
    const double w = window.width();
    const double h = window.height();
    double x = selection.midX() - w / 2;
    double y = selection.maxY() + selectionGap;
    if (y + h > usable.maxY()) {
        y = selection.minY() - selectionGap - h;
    }
    x = std::max(x, usable.minX());
    x = std::min(x, usable.maxX() - w);
    y = std::min(y, usable.maxY() - h);
    y = std::max(y, usable.minY());
    return QPointF(x, y);
}

std::optional<QPointF> fixedPlace(QPointF pointer, QSizeF window, const ScreenLayout &layout)
{
    const auto screen = screenUnder(pointer, layout);
    if (!screen) {
        return std::nullopt;
    }
    const ExactRect &usable = screen->available;
    return QPointF(usable.midX() - window.width() / 2,
                   usable.minY() + 0.4 * usable.height - window.height() / 2);
}

std::optional<QPointF> topCentre(QPointF pointer, QSizeF window, const ScreenLayout &layout)
{
    const auto screen = screenUnder(pointer, layout);
    if (!screen) {
        return std::nullopt;
    }
    const ExactRect &usable = screen->available;
    return QPointF(usable.midX() - window.width() / 2, usable.minY() + toastTopGap);
}

} // namespace PanelPlacement
