#include "KeloHotkey/KeyCap.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int horizontalPadding = 6;
constexpr int minimumCapWidth = 24;
constexpr int capHeight = 22;
constexpr qreal cornerRadius = 5;

QFont capFont(QFont font)
{
    font.setPixelSize(12);
    font.setWeight(QFont::Medium);
    return font;
}

} // namespace

KeyCap::KeyCap(const QString &text, QWidget *parent) : QWidget(parent), m_text(text)
{
    setFont(capFont(font()));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(text);
}

QSize KeyCap::sizeHint() const
{
    const int textWidth = QFontMetrics(font()).horizontalAdvance(m_text);
    return {std::max(minimumCapWidth, textWidth + 2 * horizontalPadding), capHeight};
}

void KeyCap::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor primary = palette().color(QPalette::WindowText);
    // The border is drawn inside the shape: inset by half its width.
    const qreal border = 0.5;
    const QRectF shape = QRectF(rect()).adjusted(border / 2, border / 2, -border / 2, -border / 2);
    QColor fill = primary;
    fill.setAlphaF(0.07);
    QColor stroke = primary;
    stroke.setAlphaF(0.13);
    painter.setPen(QPen(stroke, border));
    painter.setBrush(fill);
    painter.drawRoundedRect(shape, cornerRadius, cornerRadius);
    painter.setPen(primary);
    painter.drawText(rect(), Qt::AlignCenter, m_text);
}
