// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/ImagePreparation.h"

#include "samples/SampleImages.h"

#include <gtest/gtest.h>

using SampleImages::Theme;

namespace {

int pixel(const QImage &grey, int x, int y)
{
    return grey.constScanLine(y)[x];
}

QImage textImage(const Theme &theme, int pixelSize)
{
    return SampleImages::text({QStringLiteral("Some light and some dark text")},
                              SampleImages::textStyle(pixelSize, theme));
}

} // namespace

TEST(ImagePreparation, TurnsEveryThemeIntoDarkTextOnWhite)
{
    const QList<std::pair<Theme, bool>> themes = {
        {SampleImages::light, false},
        {SampleImages::dark, true},
        {{QColor(40, 90, 200), QColor(255, 255, 255)}, true},   // white on blue
        {{QColor(255, 240, 200), QColor(120, 60, 0)}, false},   // brown on cream
        {{QColor(150, 150, 150), QColor(250, 250, 250)}, true}, // light text on mid grey
    };
    for (const auto &[theme, isInverted] : themes) {
        const PreparedImage prepared = ImagePreparation::prepareForText(textImage(theme, 13));
        ASSERT_FALSE(prepared.image.isNull());
        EXPECT_EQ(prepared.image.format(), QImage::Format_Grayscale8);
        EXPECT_EQ(prepared.wasInverted, isInverted) << theme.background.name().toStdString();
        EXPECT_GE(pixel(prepared.image, 0, 0), 250);
        int darkest = 255;
        for (int y = 0; y < prepared.image.height(); ++y) {
            for (int x = 0; x < prepared.image.width(); ++x) {
                darkest = std::min(darkest, pixel(prepared.image, x, y));
            }
        }
        EXPECT_LE(darkest, 40) << theme.background.name().toStdString();
    }
}
