// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloTheme/ButtonStyle.h"

#include "KeloTheme/ThemeColors.h"

#include <QImage>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

// The button drawn over its window colour.
QImage renderButton(QPushButton &button)
{
    QImage image(button.size(), QImage::Format_ARGB32);
    image.fill(button.palette().color(QPalette::Window));
    button.render(&image, {}, {}, QWidget::DrawChildren);
    return image;
}

int colorDistance(const QColor &a, const QColor &b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
           std::abs(a.blue() - b.blue());
}

} // namespace

TEST(ButtonStyle, ProminentButtonsAreFilledWithTheAccentAndFadeWhenDisabled)
{
    QPushButton prominent(QStringLiteral("Paste"));
    keloButton(&prominent);
    keloProminentButton(&prominent);
    EXPECT_EQ(prominent.findChildren<ButtonStyle *>().size(), 1) << "restyling replaces the style";
    prominent.resize(200, 28);
    QPushButton plain(QStringLiteral("Copy"));
    keloButton(&plain);
    plain.resize(200, 28);

    const QColor accent = ThemeColors::accent(prominent.palette());
    const QColor window = prominent.palette().color(QPalette::Window);
    // Left of the centred label, inside the capsule.
    const QPoint fillPoint(22, 14);
    EXPECT_LT(colorDistance(renderButton(prominent).pixelColor(fillPoint), accent), 6);
    const QColor plainFill = renderButton(plain).pixelColor(fillPoint);
    EXPECT_GT(colorDistance(plainFill, accent), 60);
    EXPECT_LT(colorDistance(plainFill, window), 60) << "a plain button is only lightly tinted";

    prominent.setEnabled(false);
    const QColor disabled = renderButton(prominent).pixelColor(fillPoint);
    EXPECT_GT(colorDistance(disabled, accent), 30);
    EXPECT_LT(colorDistance(disabled, window), colorDistance(accent, window));
}
