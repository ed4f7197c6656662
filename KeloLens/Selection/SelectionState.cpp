// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Selection/SelectionState.h"

#include <algorithm>

SelectionState::SelectionState(QList<QRectF> monitors, QPointF pointer)
    : m_monitors(std::move(monitors)), m_pointer(pointer)
{
}

QRectF SelectionState::bounds() const
{
    QRectF united;
    for (const QRectF &monitor : m_monitors) {
        united = united.united(monitor);
    }
    return united;
}

QPointF SelectionState::clamped(QPointF point) const
{
    const QRectF area = bounds();
    if (area.isEmpty()) {
        return point;
    }
    return {std::clamp(point.x(), area.left(), area.right()),
            std::clamp(point.y(), area.top(), area.bottom())};
}

void SelectionState::hover(QPointF point)
{
    if (!m_isDragging) {
        m_pointer = point;
    }
}

void SelectionState::press(QPointF point)
{
    m_anchor = point;
    m_corner = point;
    m_pointer = point;
    m_hasSelection = true;
    m_isDragging = true;
    m_isAdjusted = false;
    m_hasStarted = true;
}

void SelectionState::drag(QPointF point)
{
    if (m_isDragging) {
        m_corner = point;
        m_pointer = point;
    }
}

SelectionState::Outcome SelectionState::release(QPointF point)
{
    if (!m_isDragging) {
        return Outcome::none;
    }
    drag(point);
    m_isDragging = false;
    if (!selection()) {
        // A click: nothing selected yet.
        m_hasSelection = false;
        return Outcome::none;
    }
    return m_isAdjusted ? Outcome::none : Outcome::accepted;
}

void SelectionState::moveSelection(QPointF delta)
{
    const QRectF rect = QRectF(m_anchor, m_corner).normalized();
    const QRectF area = bounds();
    if (!area.isEmpty()) {
        delta.setX(std::clamp(delta.x(), std::min(0.0, area.left() - rect.left()),
                              std::max(0.0, area.right() - rect.right())));
        delta.setY(std::clamp(delta.y(), std::min(0.0, area.top() - rect.top()),
                              std::max(0.0, area.bottom() - rect.bottom())));
    }
    m_anchor += delta;
    m_corner += delta;
}

SelectionState::Outcome SelectionState::key(int key, Qt::KeyboardModifiers modifiers)
{
    switch (key) {
    case Qt::Key_Escape:
        return Outcome::cancelled;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return selection() ? Outcome::accepted : Outcome::none;
    default:
        break;
    }
    const double step = modifiers.testFlag(Qt::ControlModifier) ? 10 : 1;
    QPointF delta;
    switch (key) {
    case Qt::Key_Left:
        delta = {-step, 0};
        break;
    case Qt::Key_Right:
        delta = {step, 0};
        break;
    case Qt::Key_Up:
        delta = {0, -step};
        break;
    case Qt::Key_Down:
        delta = {0, step};
        break;
    default:
        return Outcome::none;
    }
    m_hasStarted = true;
    if (modifiers.testFlag(Qt::ShiftModifier)) {
        if (!m_hasSelection) {
            m_anchor = m_pointer;
            m_corner = m_pointer;
            m_hasSelection = true;
        }
        // The right and bottom edges move, whichever corner the drag began at.
        QPointF &right = m_corner.x() >= m_anchor.x() ? m_corner : m_anchor;
        right.setX(clamped(right + delta).x());
        QPointF &bottom = m_corner.y() >= m_anchor.y() ? m_corner : m_anchor;
        bottom.setY(clamped(bottom + delta).y());
        m_isAdjusted = true;
    } else if (m_hasSelection) {
        moveSelection(delta);
        m_isAdjusted = true;
    } else {
        m_pointer = clamped(m_pointer + delta);
    }
    return Outcome::none;
}

std::optional<QRectF> SelectionState::shownRect() const
{
    if (!m_hasSelection) {
        return std::nullopt;
    }
    return QRectF(m_anchor, m_corner).normalized();
}

std::optional<ExactRect> SelectionState::selection() const
{
    const std::optional<QRectF> rect = shownRect();
    if (!rect || rect->width() < minimumSide || rect->height() < minimumSide) {
        return std::nullopt;
    }
    return ExactRect::fromQRectF(*rect);
}
