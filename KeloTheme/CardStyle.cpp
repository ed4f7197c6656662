// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloTheme/CardStyle.h"

#include "KeloTheme/ThemeColors.h"

#include <QEvent>
#include <QPainter>
#include <QWidget>

namespace {

constexpr qreal fillOpacity = 0.055;
constexpr qreal borderOpacity = 0.09;
constexpr qreal borderWidth = 0.75;

// Paints the card under the widget's own painting, from inside its paint event.
class CardPainter final : public QObject
{
public:
    static constexpr auto name = "keloCardPainter";

    CardPainter(QWidget *widget, qreal radius) : QObject(widget), m_widget(widget), m_radius(radius)
    {
        setObjectName(QLatin1String(name));
        widget->installEventFilter(this);
        widget->update();
    }

    void setRadius(qreal radius)
    {
        m_radius = radius;
        m_widget->update();
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_widget && event->type() == QEvent::Paint) {
            QPainter painter(m_widget);
            painter.setRenderHint(QPainter::Antialiasing);
            const QPalette &palette = m_widget->palette();
            // The border is stroked inside the bounds: inset by half its width.
            const QRectF rect =
                QRectF(m_widget->rect())
                    .adjusted(borderWidth / 2, borderWidth / 2, -borderWidth / 2, -borderWidth / 2);
            painter.setPen(QPen(ThemeColors::primary(palette, borderOpacity), borderWidth));
            painter.setBrush(ThemeColors::primary(palette, fillOpacity));
            painter.drawRoundedRect(rect, m_radius, m_radius);
        }
        return false;
    }

private:
    QWidget *m_widget;
    qreal m_radius;
};

} // namespace

void keloCard(QWidget *widget, qreal cornerRadius)
{
    if (auto *painter = widget->findChild<QObject *>(QLatin1String(CardPainter::name),
                                                     Qt::FindDirectChildrenOnly)) {
        static_cast<CardPainter *>(painter)->setRadius(cornerRadius);
    } else {
        new CardPainter(widget, cornerRadius);
    }
}
