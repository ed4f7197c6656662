// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Results/ChipButton.h"

#include "KeloTheme/ButtonStyle.h"
#include "KeloTheme/ThemeColors.h"
#include "KeloTheme/ThemeFonts.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace {

constexpr int padding = 10;
constexpr int badgeGap = 5;
constexpr int badgeHorizontalPadding = 5;
constexpr int badgeVerticalPadding = 1;
constexpr qreal badgeFillOpacity = 0.18;

} // namespace

ChipButton::ChipButton(const Chip &chip, QWidget *parent) : QPushButton(parent), m_chip(chip)
{
    keloButton(this);
    // Tab belongs to the panel, and a chip taking the focus when the panel opens would take
    // Return from pasting; the row moves the focus onto chips with the arrow keys.
    setFocusPolicy(Qt::NoFocus);
    setToolTip(chip.label);
    setAccessibleName(chip.badge + u' ' + chip.label);
}

QString ChipButton::shownLabel() const
{
    return fontMetrics().elidedText(m_chip.label.simplified(), Qt::ElideMiddle, maximumLabelWidth);
}

QRect ChipButton::badgeRect() const
{
    const QFontMetrics metrics(themeFont(TextStyle::caption2));
    const QSize size(metrics.horizontalAdvance(m_chip.badge) + 2 * badgeHorizontalPadding,
                     metrics.height() + 2 * badgeVerticalPadding);
    return QRect(QPoint(padding, (height() - size.height()) / 2), size);
}

QSize ChipButton::sizeHint() const
{
    const QFontMetrics badgeMetrics(themeFont(TextStyle::caption2));
    const int badgeWidth =
        badgeMetrics.horizontalAdvance(m_chip.badge) + 2 * badgeHorizontalPadding;
    const int labelWidth = fontMetrics().horizontalAdvance(shownLabel());
    return {padding + badgeWidth + badgeGap + labelWidth + padding,
            ButtonStyle::height(ControlSize::regular)};
}

void ChipButton::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    option.icon = QIcon();
    painter.drawControl(QStyle::CE_PushButton, option);

    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette &colors = palette();
    const QRect badge = badgeRect();
    QPainterPath capsule;
    capsule.addRoundedRect(QRectF(badge), badge.height() / 2.0, badge.height() / 2.0);
    painter.fillPath(capsule, ThemeColors::accent(colors, badgeFillOpacity));
    painter.setPen(ThemeColors::primary(colors));
    painter.setFont(themeFont(TextStyle::caption2));
    painter.drawText(badge, Qt::AlignCenter, m_chip.badge);

    painter.setFont(font());
    const QRect label(badge.right() + 1 + badgeGap, 0, width() - badge.right() - badgeGap - padding,
                      height());
    painter.drawText(label, Qt::AlignVCenter | Qt::AlignLeft, shownLabel());

    if (hasFocus()) {
        painter.setPen(QPen(ThemeColors::accent(colors), 2));
        painter.setBrush(Qt::NoBrush);
        const QRectF ring = QRectF(rect()).adjusted(1, 1, -1, -1);
        painter.drawRoundedRect(ring, ring.height() / 2, ring.height() / 2);
    }
}
