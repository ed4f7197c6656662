// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/SettingsWindow/SettingsIcon.h"

#include "KeloTheme/Symbols.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

const QColor SettingsIcon::gray(0x8e, 0x8e, 0x93);
const QColor SettingsIcon::indigo(0x58, 0x56, 0xd6);
const QColor SettingsIcon::blue(0x00, 0x7a, 0xff);
const QColor SettingsIcon::orange(0xff, 0x95, 0x00);
const QColor SettingsIcon::green(0x34, 0xc7, 0x59);
const QColor SettingsIcon::red(0xff, 0x3b, 0x30);

namespace {

QPainterPath gear(const QRectF &box)
{
    const QPointF centre = box.center();
    const qreal outer = box.width() / 2;
    QPainterPath body;
    body.addEllipse(centre, outer * 0.72, outer * 0.72);
    for (int tooth = 0; tooth < 8; ++tooth) {
        QPainterPath piece;
        piece.addRoundedRect(QRectF(-outer * 0.17, -outer, outer * 0.34, outer * 0.5), 1, 1);
        QTransform turn;
        turn.translate(centre.x(), centre.y());
        turn.rotate(tooth * 45.0);
        body = body.united(turn.map(piece));
    }
    QPainterPath hole;
    hole.addEllipse(centre, outer * 0.3, outer * 0.3);
    return body.subtracted(hole);
}

QPainterPath sparkle(const QPointF &centre, qreal radius)
{
    QPainterPath star;
    const qreal waist = radius * 0.18;
    star.moveTo(centre + QPointF(0, -radius));
    star.quadTo(centre + QPointF(waist, -waist), centre + QPointF(radius, 0));
    star.quadTo(centre + QPointF(waist, waist), centre + QPointF(0, radius));
    star.quadTo(centre + QPointF(-waist, waist), centre + QPointF(-radius, 0));
    star.quadTo(centre + QPointF(-waist, -waist), centre + QPointF(0, -radius));
    return star;
}

} // namespace

SettingsIcon::SettingsIcon(QString symbol, QColor tint, int size, QWidget *parent)
    : QWidget(parent), m_symbol(std::move(symbol)), m_tint(tint), m_size(size)
{
    setFixedSize(size, size);
}

bool SettingsIcon::paintSymbol(QPainter &painter, const QRectF &rect, const QString &symbol,
                               const QColor &color)
{
    const qreal side = std::min(rect.width(), rect.height());
    const QRectF box(rect.center().x() - side / 2, rect.center().y() - side / 2, side, side);
    const qreal stroke = std::max(1.0, side / 10);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    bool isKnown = true;
    if (symbol == u"gearshape.fill") {
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawPath(gear(box));
    } else if (symbol == u"text.viewfinder") {
        bundledSymbolIcon(Symbol::captureText, color).paint(&painter, box.toAlignedRect());
    } else if (symbol == u"globe") {
        const QRectF globe = box.adjusted(stroke / 2, stroke / 2, -stroke / 2, -stroke / 2);
        painter.drawEllipse(globe);
        painter.drawEllipse(globe.adjusted(globe.width() * 0.27, 0, -globe.width() * 0.27, 0));
        painter.drawLine(QPointF(globe.left(), globe.center().y()),
                         QPointF(globe.right(), globe.center().y()));
        const qreal inset = globe.width() * 0.11;
        for (const qreal y :
             {globe.top() + globe.height() * 0.25, globe.top() + globe.height() * 0.75}) {
            painter.drawLine(QPointF(globe.left() + inset, y), QPointF(globe.right() - inset, y));
        }
    } else if (symbol == u"info.circle.fill") {
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawEllipse(box);
        // The letter, cut out of the filled circle.
        painter.setCompositionMode(QPainter::CompositionMode_Clear);
        painter.setBrush(Qt::black);
        painter.drawEllipse(QPointF(box.center().x(), box.top() + side * 0.29), side * 0.075,
                            side * 0.075);
        painter.drawRoundedRect(QRectF(box.center().x() - side * 0.065, box.top() + side * 0.42,
                                       side * 0.13, side * 0.36),
                                side * 0.05, side * 0.05);
    } else if (symbol == u"sparkles") {
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawPath(sparkle(box.center() + QPointF(-side * 0.1, side * 0.08), side * 0.38));
        painter.drawPath(sparkle(box.topRight() + QPointF(-side * 0.2, side * 0.2), side * 0.18));
    } else if (symbol == u"envelope.fill") {
        const QRectF letter(box.left(), box.top() + side * 0.17, side, side * 0.66);
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawRoundedRect(letter, side * 0.1, side * 0.1);
        // The flap, cut out of the filled letter.
        painter.setCompositionMode(QPainter::CompositionMode_Clear);
        painter.setPen(QPen(Qt::black, stroke * 0.9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const QPointF points[] = {letter.topLeft() + QPointF(side * 0.08, side * 0.08),
                                  QPointF(letter.center().x(), letter.center().y() + side * 0.02),
                                  letter.topRight() + QPointF(-side * 0.08, side * 0.08)};
        painter.drawPolyline(points, 3);
    } else {
        isKnown = false;
    }
    painter.restore();
    return isKnown;
}

void SettingsIcon::paintTile(QPainter &painter, const QRectF &rect, const QString &symbol,
                             const QColor &tint)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal size = std::min(rect.width(), rect.height());
    const QRectF tile(rect.center().x() - size / 2, rect.center().y() - size / 2, size, size);
    QLinearGradient gradient(tile.topLeft(), tile.bottomLeft());
    gradient.setColorAt(0, tint.lighter(118));
    gradient.setColorAt(1, tint);
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawRoundedRect(tile, size * 0.26, size * 0.26);
    // The symbol is drawn at about the size of a 0.55 x size font's glyphs.
    const qreal glyph = size * 0.58;
    const QRectF glyphBox(tile.center().x() - glyph / 2, tile.center().y() - glyph / 2, glyph,
                          glyph);
    // Cut-outs in a symbol must show the tile, not clear it: draw the symbol on its own layer.
    QImage layer(qCeil(glyph * 2), qCeil(glyph * 2), QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    QPainter layerPainter(&layer);
    paintSymbol(layerPainter, QRectF(0, 0, layer.width(), layer.height()), symbol, Qt::white);
    layerPainter.end();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(glyphBox, layer);
    painter.restore();
}

QIcon SettingsIcon::icon(const QString &symbol, const QColor &tint, int size)
{
    QIcon result;
    for (const int scale : {1, 2}) {
        QPixmap pixmap(size * scale, size * scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paintTile(painter, QRectF(0, 0, pixmap.width(), pixmap.height()), symbol, tint);
        painter.end();
        result.addPixmap(pixmap);
    }
    return result;
}

void SettingsIcon::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintTile(painter, QRectF(0, 0, m_size, m_size), m_symbol, m_tint);
}
