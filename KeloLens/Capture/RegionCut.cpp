// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Capture/RegionCut.h"

#include <QPainter>
#include <QRectF>

#include <algorithm>
#include <utility>

namespace {

using KeloPlatform::MonitorImage;

// The part of the selection one monitor shows.
struct Piece
{
    const MonitorImage *monitor = nullptr;
    QRectF part;
    // Pixels per global coordinate unit.
    double scale = 1;

    // The piece in the monitor's image.
    [[nodiscard]] QRectF source() const
    {
        const QPointF origin = monitor->geometry.topLeft();
        return {(part.topLeft() - origin) * scale, part.size() * scale};
    }
};

QList<Piece> piecesOf(const QList<MonitorImage> &monitors, const QRectF &selection)
{
    QList<Piece> pieces;
    for (const MonitorImage &monitor : monitors) {
        if (monitor.image.isNull() || monitor.geometry.isEmpty()) {
            continue;
        }
        const QRectF part = selection.intersected(QRectF(monitor.geometry));
        if (part.isEmpty()) {
            continue;
        }
        pieces.append({&monitor, part, double(monitor.image.width()) / monitor.geometry.width()});
    }
    return pieces;
}

// One axis of the selection with the bands no monitor covers taken out.
class Axis
{
public:
    explicit Axis(QList<std::pair<double, double>> covered)
    {
        std::sort(covered.begin(), covered.end());
        for (const auto &[start, end] : covered) {
            if (!m_bands.isEmpty() && start <= m_bands.last().second) {
                m_bands.last().second = std::max(m_bands.last().second, end);
            } else {
                m_bands.append({start, end});
            }
        }
    }

    // How much covered length lies before the coordinate.
    [[nodiscard]] double map(double value) const
    {
        double length = 0;
        for (const auto &[start, end] : m_bands) {
            length += std::clamp(value, start, end) - start;
        }
        return length;
    }
    [[nodiscard]] double length() const
    {
        return m_bands.isEmpty() ? 0 : map(m_bands.last().second);
    }

private:
    QList<std::pair<double, double>> m_bands;
};

// Rounds the edges, not the size, so that neighbouring cuts meet.
QRect pixelRect(const QRectF &rect)
{
    return QRect(QPoint(qRound(rect.left()), qRound(rect.top())),
                 QPoint(qRound(rect.right()) - 1, qRound(rect.bottom()) - 1));
}

struct Layout
{
    QList<Piece> pieces;
    // Set when the selection lies within one monitor: its pixels, as they are.
    std::optional<QRect> direct;
    QSize size;
    double scale = 1;
    std::optional<Axis> x;
    std::optional<Axis> y;
};

Layout layoutOf(const QList<MonitorImage> &monitors, const ExactRect &selection)
{
    const QRectF wanted(selection.minX(), selection.minY(), selection.maxX() - selection.minX(),
                        selection.maxY() - selection.minY());
    Layout layout;
    layout.pieces = piecesOf(monitors, wanted);
    if (layout.pieces.isEmpty()) {
        return layout;
    }
    if (layout.pieces.size() == 1 && layout.pieces.first().part == wanted) {
        const Piece &piece = layout.pieces.first();
        layout.direct = pixelRect(piece.source()).intersected(piece.monitor->image.rect());
        layout.size = layout.direct->size();
        return layout;
    }
    QList<std::pair<double, double>> columns;
    QList<std::pair<double, double>> rows;
    for (const Piece &piece : std::as_const(layout.pieces)) {
        layout.scale = std::max(layout.scale, piece.scale);
        columns.append({piece.part.left(), piece.part.right()});
        rows.append({piece.part.top(), piece.part.bottom()});
    }
    layout.x.emplace(columns);
    layout.y.emplace(rows);
    layout.size =
        QSize(qRound(layout.x->length() * layout.scale), qRound(layout.y->length() * layout.scale));
    return layout;
}

} // namespace

namespace RegionCut {

QImage cut(const QList<MonitorImage> &monitors, const ExactRect &selection)
{
    const Layout layout = layoutOf(monitors, selection);
    if (layout.size.isEmpty()) {
        return {};
    }
    if (layout.direct) {
        return layout.pieces.first().monitor->image.copy(*layout.direct);
    }
    QImage image(layout.size, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const Piece &piece : layout.pieces) {
        const QRectF target(layout.x->map(piece.part.left()) * layout.scale,
                            layout.y->map(piece.part.top()) * layout.scale,
                            piece.part.width() * layout.scale, piece.part.height() * layout.scale);
        painter.drawImage(target, piece.monitor->image, piece.source());
    }
    return image;
}

QSize pixelSize(const QList<MonitorImage> &monitors, const ExactRect &selection)
{
    return layoutOf(monitors, selection).size;
}

} // namespace RegionCut
