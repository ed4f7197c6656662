// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloOnboarding/ShortcutBadge.h"

#include "KeloTheme/ThemeColors.h"
#include "KeloTheme/ThemeFonts.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

constexpr int horizontalPadding = 16;
constexpr int verticalPadding = 8;

} // namespace

ShortcutBadge::ShortcutBadge(const QString &text, QWidget *parent) : QWidget(parent), m_text(text)
{
    QFont badgeFont = themeFont(TextStyle::body);
    badgeFont.setPixelSize(22);
    badgeFont.setWeight(QFont::DemiBold);
    setFont(badgeFont);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(text);
}

QSize ShortcutBadge::sizeHint() const
{
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(m_text) + 2 * horizontalPadding,
            metrics.height() + 2 * verticalPadding};
}

void ShortcutBadge::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ThemeColors::primary(palette(), 0.08));
    painter.drawRoundedRect(QRectF(rect()), 10, 10);
    painter.setPen(ThemeColors::primary(palette()));
    painter.drawText(rect(), Qt::AlignCenter, m_text);
}
