#include "KeloMenuBar/StatusIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace StatusIcon {

void paint(QPainter &painter, const QRectF &rect, const QColor &color)
{
    const qreal side = std::min(rect.width(), rect.height());
    const QRectF box(rect.center().x() - side / 2, rect.center().y() - side / 2, side, side);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal stroke = std::max(1.0, side / 11);
    QPen pen(color, stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);

    const QRectF frame = box.adjusted(stroke, stroke, -stroke, -stroke);
    const qreal arm = frame.width() * 0.3;
    const qreal radius = frame.width() * 0.14;
    QPainterPath corners;
    // Each corner: along one edge, round the corner, along the other.
    const auto corner = [&](QPointF start, QPointF tip, QPointF end) {
        corners.moveTo(start);
        const QPointF inFrom = tip + (start - tip) * (radius / arm);
        const QPointF outTo = tip + (end - tip) * (radius / arm);
        corners.lineTo(inFrom);
        corners.quadTo(tip, outTo);
        corners.lineTo(end);
    };
    const QPointF tl = frame.topLeft();
    const QPointF tr = frame.topRight();
    const QPointF bl = frame.bottomLeft();
    const QPointF br = frame.bottomRight();
    corner(tl + QPointF(0, arm), tl, tl + QPointF(arm, 0));
    corner(tr - QPointF(arm, 0), tr, tr + QPointF(0, arm));
    corner(br - QPointF(0, arm), br, br - QPointF(arm, 0));
    corner(bl + QPointF(arm, 0), bl, bl - QPointF(0, arm));
    painter.drawPath(corners);

    // Three text lines, the last one shorter.
    const qreal left = frame.left() + frame.width() * 0.27;
    const qreal right = frame.right() - frame.width() * 0.27;
    for (int line = 0; line < 3; ++line) {
        const qreal y = frame.top() + frame.height() * (0.33 + 0.17 * line);
        const qreal end = line == 2 ? left + (right - left) * 0.6 : right;
        painter.drawLine(QPointF(left, y), QPointF(end, y));
    }
    painter.restore();
}

QIcon icon(const QColor &color)
{
    QIcon result;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(painter, QRectF(0, 0, size, size), color);
        painter.end();
        result.addPixmap(pixmap);
    }
    return result;
}

} // namespace StatusIcon
