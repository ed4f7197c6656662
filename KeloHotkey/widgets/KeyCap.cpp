// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloHotkey/widgets/KeyCap.h"

#include "KeloTheme/ThemeColors.h"
#include "KeloTheme/ThemeFonts.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

constexpr int horizontalPadding = 6;
constexpr int minimumCapWidth = 24;
constexpr int capHeight = 22;
constexpr qreal cornerRadius = 5;

QFont capFont()
{
    QFont font = themeFont(TextStyle::button);
    font.setWeight(QFont::Medium);
    return font;
}

} // namespace

KeyCap::KeyCap(const QString &text, QWidget *parent) : QWidget(parent), m_text(text)
{
    setFont(capFont());
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
    // The border is drawn inside the shape: inset by half its width.
    const qreal border = 0.5;
    const QRectF shape = QRectF(rect()).adjusted(border / 2, border / 2, -border / 2, -border / 2);
    painter.setPen(QPen(ThemeColors::primary(palette(), 0.13), border));
    painter.setBrush(ThemeColors::primary(palette(), 0.07));
    painter.drawRoundedRect(shape, cornerRadius, cornerRadius);
    painter.setPen(ThemeColors::primary(palette()));
    painter.drawText(rect(), Qt::AlignCenter, m_text);
}
