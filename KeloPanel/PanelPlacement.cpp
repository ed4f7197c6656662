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
    if (!intersects({x, y, w, h}, selection)) {
        return QPointF(x, y);
    }
    // The results would hide what they were read from.
    const double besideY =
        std::max(std::min(selection.midY() - h / 2, usable.maxY() - h), usable.minY());
    for (const double besideX :
         {selection.maxX() + selectionGap, selection.minX() - selectionGap - w}) {
        if (besideX >= usable.minX() && besideX + w <= usable.maxX() &&
            !intersects({besideX, besideY, w, h}, selection)) {
            return QPointF(besideX, besideY);
        }
    }
    return QPointF(x, y);
}

std::optional<QPointF> nearEstimate(const ExactRect &estimate, QSizeF window,
                                    const ScreenLayout &layout)
{
    const std::optional<QPointF> origin = nearSelection(estimate, window, layout);
    // The pointer stopped at one corner of the selection, but which one the tool does not say.
    const ExactRect reach{estimate.maxX() - estimate.width, estimate.maxY() - estimate.height,
                          2 * estimate.width, 2 * estimate.height};
    if (!origin || intersects({origin->x(), origin->y(), window.width(), window.height()}, reach)) {
        return std::nullopt;
    }
    return origin;
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
