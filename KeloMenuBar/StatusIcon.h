#pragma once

#include <QColor>
#include <QIcon>

class QPainter;
class QRectF;

// The application's monochrome mark: a viewfinder's four corners around three lines of text.
namespace StatusIcon {

// Draws the mark filling the square part of the rectangle.
void paint(QPainter &painter, const QRectF &rect, const QColor &color);

// The mark in one colour at the sizes panels ask for.
[[nodiscard]] QIcon icon(const QColor &color);

} // namespace StatusIcon
