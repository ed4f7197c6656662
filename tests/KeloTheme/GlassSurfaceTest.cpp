// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloTheme/GlassSurface.h"

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <gtest/gtest.h>

TEST(GlassSurface, WithoutCompositingThePanelIsOpaqueAndMaskedToItsRoundedShape)
{
    QWidget window(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    QPointer<QWidget> content = new QWidget;
    GlassSurface::floating(&window, content, {420, 400}, GlassSurface::panelCornerRadius(true),
                           true);
    // The compositor went away: the same window and content switch to the opaque look.
    const QSize windowSize = GlassSurface::floating(&window, content, {420, 400},
                                                    GlassSurface::panelCornerRadius(false), false);
    window.show();

    EXPECT_EQ(windowSize, QSize(420, 400));
    ASSERT_TRUE(content);
    EXPECT_EQ(content->geometry(), QRect(0, 0, 420, 400));
    EXPECT_FALSE(window.testAttribute(Qt::WA_TranslucentBackground));
    const QRegion mask = window.mask();
    EXPECT_FALSE(mask.contains(QPoint(0, 0)));
    EXPECT_FALSE(mask.contains(QPoint(419, 399)));
    EXPECT_TRUE(mask.contains(QPoint(14, 0)));
    EXPECT_TRUE(mask.contains(QPoint(210, 200)));
    // Over a transparent desktop, what it paints is opaque.
    QImage image(window.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    window.render(&image, {}, {}, QWidget::DrawChildren);
    EXPECT_EQ(qAlpha(image.pixel(210, 200)), 255);
}
