// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloCore/ExactRect.h"

#include <QList>
#include <QPointF>
#include <QRectF>

#include <optional>

// What the mouse and the keys do to a selection on the still screen, in Qt's global coordinates;
// the windows only show it.
//
// A drag selects from any corner; letting go takes the selection, as region tools do. The keys
// work with or without the mouse: the arrows move the selection by one pixel (ten with Ctrl),
// Shift with the arrows moves its right and bottom edges; without a selection the arrows move the
// pointer and Shift with them starts a selection there. Once the keys have touched a selection,
// letting go of the mouse keeps it for more and Return takes it. Escape (or the right button)
// cancels.
class SelectionState
{
public:
    enum class Outcome { none, accepted, cancelled };

    // The monitors' geometries: the keys keep the pointer and the selection on them.
    explicit SelectionState(QList<QRectF> monitors, QPointF pointer = {});

    void hover(QPointF point);
    void press(QPointF point);
    void drag(QPointF point);
    Outcome release(QPointF point);
    Outcome key(int key, Qt::KeyboardModifiers modifiers);

    // The selection when it is large enough to take, normalized.
    [[nodiscard]] std::optional<ExactRect> selection() const;
    // The rectangle being shown, also while it is still too small to take.
    [[nodiscard]] std::optional<QRectF> shownRect() const;
    [[nodiscard]] QPointF pointer() const { return m_pointer; }
    [[nodiscard]] bool isDragging() const { return m_isDragging; }
    // Whether the user has started selecting (a hint is shown until then).
    [[nodiscard]] bool hasStarted() const { return m_hasStarted; }

    // Smaller than this on either side, a drag is taken for a click.
    static constexpr double minimumSide = 3;

private:
    [[nodiscard]] QRectF bounds() const;
    [[nodiscard]] QPointF clamped(QPointF point) const;
    void moveSelection(QPointF delta);

    QList<QRectF> m_monitors;
    QPointF m_pointer;
    QPointF m_anchor;
    // The corner opposite the anchor; the selection is the rectangle between the two.
    QPointF m_corner;
    bool m_hasSelection = false;
    bool m_isDragging = false;
    bool m_isAdjusted = false;
    bool m_hasStarted = false;
};
