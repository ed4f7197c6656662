// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloTheme/GlassSurface.h"

#include "KeloTheme/GlassBackground.h"

#include <QPainter>
#include <QVBoxLayout>
#include <QWidget>

namespace {

// The window's surface, created on first use and kept in a margin-free layout that fills it.
GlassBackground *backgroundOf(QWidget *window)
{
    if (auto *background =
            window->findChild<GlassBackground *>(QString(), Qt::FindDirectChildrenOnly)) {
        return background;
    }
    auto *background = new GlassBackground(window);
    if (!window->layout()) {
        auto *layout = new QVBoxLayout(window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
    }
    window->layout()->addWidget(background);
    return background;
}

} // namespace

namespace GlassSurface {

qreal panelCornerRadius(bool isCompositing)
{
    return isCompositing ? 22 : 14;
}

int floatingShadowMargin(bool isCompositing)
{
    return isCompositing ? 28 : 0;
}

QSize floating(QWidget *window, QWidget *content, QSize size, qreal cornerRadius,
               bool isCompositing)
{
    const int margin = floatingShadowMargin(isCompositing);
    const QSize windowSize = size + QSize(2 * margin, 2 * margin);
    GlassBackground *background = backgroundOf(window);
    background->setContent(content);
    background->setLook({cornerRadius, margin, isCompositing, true});

    // Without a compositor an alpha channel shows as black, so the corners are cut off instead.
    window->setAttribute(Qt::WA_TranslucentBackground, isCompositing);
    window->setAttribute(Qt::WA_NoSystemBackground, isCompositing);
    window->setFixedSize(windowSize);
    if (isCompositing) {
        window->clearMask();
    } else {
        window->setMask(roundedMask(windowSize, cornerRadius));
    }
    return windowSize;
}

void configure(QWidget *window, QWidget *content, QSize size)
{
    GlassBackground *background = backgroundOf(window);
    background->setLook({0, 0, false, false});
    background->setContent(content);
    window->resize(size);
}

QBitmap roundedMask(QSize size, qreal radius)
{
    QBitmap mask(size);
    mask.fill(Qt::color0);
    QPainter painter(&mask);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::color1);
    if (radius <= 0) {
        painter.drawRect(QRect(QPoint(0, 0), size));
    } else {
        painter.drawRoundedRect(QRectF(QPointF(0, 0), size), radius, radius);
    }
    return mask;
}

} // namespace GlassSurface
