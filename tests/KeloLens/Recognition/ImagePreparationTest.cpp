#include "KeloLens/Recognition/ImagePreparation.h"

#include "RecognitionFixtures.h"

#include <gtest/gtest.h>

namespace {

int pixel(const QImage &grey, int x, int y)
{
    return grey.constScanLine(y)[x];
}

} // namespace

TEST(ImagePreparation, TurnsEveryThemeIntoDarkTextOnWhite)
{
    const QStringList lines = {QStringLiteral("Some light and some dark text")};
    const QList<std::pair<Fixtures::Theme, bool>> themes = {
        {Fixtures::light, false},
        {Fixtures::dark, true},
        {{QColor(40, 90, 200), QColor(255, 255, 255)}, true},   // white on blue
        {{QColor(255, 240, 200), QColor(120, 60, 0)}, false},   // brown on cream
        {{QColor(150, 150, 150), QColor(250, 250, 250)}, true}, // light text on mid grey
    };
    for (const auto &[theme, isInverted] : themes) {
        const PreparedImage prepared =
            ImagePreparation::prepareForText(Fixtures::renderText(lines, theme, 13));
        ASSERT_FALSE(prepared.image.isNull());
        EXPECT_EQ(prepared.image.format(), QImage::Format_Grayscale8);
        EXPECT_EQ(prepared.wasInverted, isInverted) << theme.background.name().toStdString();
        EXPECT_GE(pixel(prepared.image, 0, 0), 250);
        int darkest = 255;
        for (int y = 0; y < prepared.image.height(); ++y) {
            for (int x = 0; x < prepared.image.width(); ++x)
                darkest = std::min(darkest, pixel(prepared.image, x, y));
        }
        EXPECT_LE(darkest, 40) << theme.background.name().toStdString();
    }
}

TEST(ImagePreparation, EnlargesSmallTextOnly)
{
    const QStringList lines = {QStringLiteral("Hello there"), QStringLiteral("General Kenobi")};
    const PreparedImage small =
        ImagePreparation::prepareForText(Fixtures::renderText(lines, Fixtures::light, 11));
    EXPECT_GE(small.scale, 2.0);
    EXPECT_LE(small.scale, 4.0);
    EXPECT_EQ(small.resolution, int(std::lround(96 * small.scale)));

    const PreparedImage large =
        ImagePreparation::prepareForText(Fixtures::renderText(lines, Fixtures::light, 32));
    EXPECT_EQ(large.scale, 1.0);
    EXPECT_EQ(large.image.width(), large.originalSize.width() + 2 * large.padding);
}

TEST(ImagePreparation, NeverMakesMoreThanFortyMegapixels)
{
    QImage huge(7000, 7000, QImage::Format_Grayscale8);
    huge.fill(255);
    const PreparedImage prepared = ImagePreparation::prepareForText(huge);
    ASSERT_FALSE(prepared.image.isNull());
    const double inner = double(prepared.image.width() - 2 * prepared.padding) *
                         double(prepared.image.height() - 2 * prepared.padding);
    EXPECT_LE(inner, ImagePreparation::kMaxPixels * 1.001);
    EXPECT_LT(prepared.scale, 1.0);
}

TEST(ImagePreparation, BoxesMapBackToNormalizedBottomLeftCoordinates)
{
    PreparedImage prepared;
    prepared.originalSize = QSize(200, 100);
    prepared.scale = 2.5;
    prepared.padding = 10;
    // Captured pixels x 40..120, y 10..30 (top-left origin), as the prepared image has them.
    const QRect inPrepared(10 + 100, 10 + 25, 200, 50);
    const ExactRect box = prepared.normalizedBox(inPrepared);
    EXPECT_DOUBLE_EQ(box.x, 0.2);
    EXPECT_DOUBLE_EQ(box.width, 0.4);
    EXPECT_DOUBLE_EQ(box.y, 0.7);
    EXPECT_DOUBLE_EQ(box.height, 0.2);
    // Boxes reaching into the padding are clipped to the image.
    const ExactRect clipped = prepared.normalizedBox(QRect(0, 0, 700, 400));
    EXPECT_EQ(clipped, (ExactRect{0, 0, 1, 1}));
}

TEST(ImagePreparation, UnreadableImagesPrepareToNothing)
{
    EXPECT_TRUE(ImagePreparation::prepareForText(QImage()).image.isNull());
    QImage tiny(1, 1, QImage::Format_Mono);
    tiny.fill(0);
    EXPECT_FALSE(ImagePreparation::prepareForText(tiny).image.isNull());
    EXPECT_EQ(ImagePreparation::typicalLineHeight(QImage(), 255), 0);
}
