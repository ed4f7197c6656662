// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloTheme/GlassSurface.h"

#include "KeloTheme/CardStyle.h"

#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// What the window shows over a transparent desktop: its own painting only.
QImage renderOnTransparency(QWidget &window)
{
    QImage image(window.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    window.render(&image, {}, {}, QWidget::DrawChildren);
    return image;
}

} // namespace

TEST(GlassSurface, CompositedPanelDrawsItsShadowAroundButNeverUnderTheSurface)
{
    QWidget window(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    auto *content = new QWidget;
    const QSize windowSize = GlassSurface::floating(&window, content, {420, 400},
                                                    GlassSurface::panelCornerRadius(true), true);
    window.show();

    EXPECT_EQ(windowSize, QSize(476, 456));
    EXPECT_EQ(window.size(), windowSize);
    EXPECT_EQ(content->geometry(), QRect(28, 28, 420, 400));
    EXPECT_TRUE(window.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_TRUE(window.mask().isEmpty());

    const QImage image = renderOnTransparency(window);
    const QRgb middle = image.pixel(238, 228);
    EXPECT_EQ(qAlpha(middle), 255) << "text behind the surface would show through it";
    // Just inside the bottom edge, where the shadow is strongest outside, the fill is untouched.
    EXPECT_EQ(image.pixel(238, 28 + 400 - 3), middle);
    EXPECT_EQ(image.pixel(238, 28 + 400 - 3 - 380), middle);
    // The shadow falls outside the shape, more below it than above it.
    const int below = qAlpha(image.pixel(238, 28 + 400 + 8));
    const int above = qAlpha(image.pixel(238, 28 - 8));
    EXPECT_GT(below, 20);
    EXPECT_GT(below, above);
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    // The rounded corner of the surface leaves the square corner to the shadow.
    EXPECT_LT(qAlpha(image.pixel(29, 29)), qAlpha(middle) / 2);
}

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
    EXPECT_EQ(qAlpha(renderOnTransparency(window).pixel(210, 200)), 255);
}

TEST(GlassSurface, RoundedMaskKeepsSquareCornersAtRadiusZero)
{
    const QRegion square(GlassSurface::roundedMask({40, 30}, 0));
    EXPECT_EQ(square, QRegion(0, 0, 40, 30));
    const QRegion rounded(GlassSurface::roundedMask({40, 30}, 14));
    EXPECT_FALSE(rounded.contains(QPoint(0, 0)));
    EXPECT_FALSE(rounded.contains(QPoint(39, 29)));
    EXPECT_TRUE(rounded.contains(QPoint(20, 0)));
    EXPECT_TRUE(rounded.contains(QPoint(0, 15)));
}

TEST(GlassSurface, ConfigureReplacesTheTitledWindowsContent)
{
    QWidget window;
    QPointer<QWidget> first = new QWidget;
    GlassSurface::configure(&window, first, {300, 200});
    EXPECT_EQ(window.size(), QSize(300, 200));
    EXPECT_EQ(first->window(), &window);

    auto *second = new QWidget;
    GlassSurface::configure(&window, second, {320, 240});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(first) << "the previous content is deleted";
    EXPECT_EQ(second->window(), &window);
    EXPECT_EQ(window.size(), QSize(320, 240));
    EXPECT_TRUE(window.mask().isEmpty());
}

TEST(CardStyle, PaintsALightRoundedCardBehindTheWidget)
{
    QWidget card;
    card.resize(100, 60);
    keloCard(&card, 12);
    QImage image(card.size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    card.render(&image, {}, {}, QWidget::DrawChildren);

    const QColor inside = image.pixelColor(50, 30);
    const int text = card.palette().color(QPalette::WindowText).lightness();
    // About 5.5 % of the text colour over white.
    EXPECT_NEAR(inside.lightness(), 255 - (255 - text) * 0.055, 3);
    EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::white)) << "the corners are rounded";
}
