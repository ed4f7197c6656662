// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloTheme/ButtonStyle.h"

#include "KeloTheme/ThemeColors.h"
#include "KeloTheme/ThemeFonts.h"

#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStyleOptionButton>

namespace {

constexpr qreal disabledOpacity = 0.42;

int horizontalPadding(ControlSize size)
{
    switch (size) {
    case ControlSize::small:
        return 10;
    case ControlSize::regular:
        return 13;
    case ControlSize::large:
        return 18;
    }
    return 13;
}

QFont buttonFont(ControlSize size)
{
    QFont font = themeFont(TextStyle::button);
    if (size == ControlSize::small) {
        font.setPixelSize(11);
    } else if (size == ControlSize::large) {
        font.setPixelSize(14);
    }
    return font;
}

int iconExtent(ControlSize size)
{
    switch (size) {
    case ControlSize::small:
        return 12;
    case ControlSize::regular:
        return 14;
    case ControlSize::large:
        return 16;
    }
    return 14;
}

void applyStyle(QPushButton *button, ButtonStyle::Kind kind, ControlSize size)
{
    // The style object belongs to the button, so restyling drops the earlier one.
    if (auto *previous = button->findChild<ButtonStyle *>(QString(), Qt::FindDirectChildrenOnly)) {
        button->setStyle(nullptr);
        delete previous;
    }
    auto *style = new ButtonStyle(kind, size);
    style->setParent(button);
    button->setStyle(style);
    button->setFont(buttonFont(size));
    button->setIconSize(QSize(iconExtent(size), iconExtent(size)));
    button->setAttribute(Qt::WA_Hover);
    button->updateGeometry();
}

} // namespace

ButtonStyle::ButtonStyle(Kind kind, ControlSize size) : m_kind(kind), m_size(size) {}

int ButtonStyle::height(ControlSize size)
{
    switch (size) {
    case ControlSize::small:
        return 22;
    case ControlSize::regular:
        return 28;
    case ControlSize::large:
        return 34;
    }
    return 28;
}

void ButtonStyle::drawBevel(const QStyleOption *option, QPainter *painter) const
{
    const QPalette &palette = option->palette;
    const bool isEnabled = option->state & State_Enabled;
    const bool isDown = option->state & (State_Sunken | State_On);
    const bool isHovered = isEnabled && (option->state & State_MouseOver);
    const QRectF rect = QRectF(option->rect).adjusted(1, 1, -1, -1);
    const qreal radius = rect.height() / 2;
    QPainterPath capsule;
    capsule.addRoundedRect(rect, radius, radius);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (!isEnabled) {
        painter->setOpacity(disabledOpacity);
    }
    if (m_kind == Kind::prominent) {
        QColor fill = ThemeColors::accent(palette);
        if (isDown) {
            fill = fill.darker(115);
        } else if (isHovered) {
            fill = fill.lighter(110);
        }
        painter->fillPath(capsule, fill);
    } else {
        const qreal strength = isDown ? 0.17 : isHovered ? 0.12 : 0.075;
        painter->fillPath(capsule, ThemeColors::primary(palette, strength));
        painter->setPen(QPen(ThemeColors::primary(palette, 0.10), 1));
        painter->drawPath(capsule);
    }
    // The focus ring shows only after keyboard navigation, as desktop styles do.
    if ((option->state & State_HasFocus) && (option->state & State_KeyboardFocusChange)) {
        painter->setOpacity(1);
        painter->setPen(QPen(ThemeColors::accent(palette, 0.7), 2));
        painter->setBrush(Qt::NoBrush);
        const QRectF ring = rect.adjusted(-0.5, -0.5, 0.5, 0.5);
        painter->drawRoundedRect(ring, ring.height() / 2, ring.height() / 2);
    }
    painter->restore();
}

void ButtonStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                              const QWidget *widget) const
{
    if (element == CE_PushButtonBevel) {
        drawBevel(option, painter);
        return;
    }
    if (element == CE_PushButtonLabel) {
        if (const auto *button = qstyleoption_cast<const QStyleOptionButton *>(option)) {
            QStyleOptionButton label = *button;
            const QColor text = m_kind == Kind::prominent
                                    ? option->palette.color(QPalette::HighlightedText)
                                    : option->palette.color(QPalette::WindowText);
            label.palette.setColor(QPalette::ButtonText, text);
            // Disabled buttons fade as a whole instead of switching to the grey of the palette.
            label.state |= State_Enabled;
            painter->save();
            if (!(option->state & State_Enabled)) {
                painter->setOpacity(disabledOpacity);
            }
            QProxyStyle::drawControl(element, &label, painter, widget);
            painter->restore();
            return;
        }
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

void ButtonStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option,
                                QPainter *painter, const QWidget *widget) const
{
    // The bevel draws its own focus ring.
    if (element == PE_FrameFocusRect || element == PE_FrameDefaultButton) {
        return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

QSize ButtonStyle::sizeFromContents(ContentsType type, const QStyleOption *option,
                                    const QSize &contentsSize, const QWidget *widget) const
{
    if (type == CT_PushButton) {
        return {contentsSize.width() + 2 * horizontalPadding(m_size), height(m_size)};
    }
    return QProxyStyle::sizeFromContents(type, option, contentsSize, widget);
}

int ButtonStyle::pixelMetric(PixelMetric metric, const QStyleOption *option,
                             const QWidget *widget) const
{
    switch (metric) {
    case PM_ButtonShiftHorizontal:
    case PM_ButtonShiftVertical:
    case PM_ButtonDefaultIndicator:
        return 0;
    case PM_ButtonIconSize:
        return iconExtent(m_size);
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

void keloButton(QPushButton *button, ControlSize size)
{
    applyStyle(button, ButtonStyle::Kind::plain, size);
}

void keloProminentButton(QPushButton *button, ControlSize size)
{
    applyStyle(button, ButtonStyle::Kind::prominent, size);
}
