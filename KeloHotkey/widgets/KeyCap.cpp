// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloHotkey/widgets/KeyCap.h"

#include "KeloTheme/ThemeColors.h"
#include "KeloTheme/ThemeFonts.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

struct CapLook
{
    TextStyle textStyle;
    int pixelSize; // 0: the text style's own
    QFont::Weight weight;
    QSize padding;
    QSize minimumSize;
    qreal cornerRadius;
    qreal fillOpacity;
    qreal borderWidth; // 0: no border
};

// A small cap keeps one height whatever its key, so a row of them lines up.
constexpr CapLook regularLook{TextStyle::button, 0, QFont::Medium, {6, 0}, {24, 22}, 5, 0.07, 0.5};
constexpr CapLook largeLook{TextStyle::body, 22, QFont::DemiBold, {16, 8}, {0, 0}, 10, 0.08, 0};

const CapLook &lookOf(KeyCap::Size size)
{
    return size == KeyCap::Size::large ? largeLook : regularLook;
}

} // namespace

KeyCap::KeyCap(const QString &text, Size size, QWidget *parent)
    : QWidget(parent), m_text(text), m_size(size)
{
    const CapLook &look = lookOf(size);
    QFont capFont = themeFont(look.textStyle);
    if (look.pixelSize > 0) {
        capFont.setPixelSize(look.pixelSize);
    }
    capFont.setWeight(look.weight);
    setFont(capFont);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(text);
}

QSize KeyCap::sizeHint() const
{
    const CapLook &look = lookOf(m_size);
    const QFontMetrics metrics(font());
    const QSize content(metrics.horizontalAdvance(m_text), metrics.height());
    return (content + 2 * look.padding).expandedTo(look.minimumSize);
}

void KeyCap::paintEvent(QPaintEvent *)
{
    const CapLook &look = lookOf(m_size);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // A border is drawn inside the shape: inset by half its width.
    const qreal inset = look.borderWidth / 2;
    const QRectF shape = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    painter.setPen(look.borderWidth > 0
                       ? QPen(ThemeColors::primary(palette(), 0.13), look.borderWidth)
                       : QPen(Qt::NoPen));
    painter.setBrush(ThemeColors::primary(palette(), look.fillOpacity));
    painter.drawRoundedRect(shape, look.cornerRadius, look.cornerRadius);
    painter.setPen(ThemeColors::primary(palette()));
    painter.drawText(rect(), Qt::AlignCenter, m_text);
}
