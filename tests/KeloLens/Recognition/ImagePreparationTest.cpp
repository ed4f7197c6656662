// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/ImagePreparation.h"

#include "samples/SampleImages.h"

#include <QPainter>

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

TEST(ImagePreparation, TurnsAWindowOfTheOtherThemeOnAWholeScreenButNotAGreyPane)
{
    // A light page, a dark editor, and a grey pane with dark text, side by side; the page is the
    // widest.
    QImage screen(1600, 700, QImage::Format_RGB32);
    screen.fill(Qt::white);
    const QList<Theme> themes = {
        SampleImages::light, SampleImages::dark, {QColor(150, 150, 150), QColor(10, 10, 10)}};
    {
        QPainter painter(&screen);
        for (int i = 0; i < themes.size(); ++i) {
            painter.fillRect(100 + 500 * i, 0, 500, 700, themes.at(i).background);
            painter.drawImage(100 + 500 * i, 0, textImage(themes.at(i), 13));
        }
    }
    const PreparedImage prepared = ImagePreparation::prepareForText(screen);
    ASSERT_FALSE(prepared.wasInverted);
    const auto at = [&](int x, int y) {
        return pixel(prepared.image, prepared.padding + int(x * prepared.scale),
                     prepared.padding + int(y * prepared.scale));
    };
    for (int i = 0; i < themes.size(); ++i) {
        // Every pane's background is light, and its text darker than it.
        const int left = 100 + 500 * i;
        EXPECT_GE(at(left + 400, 400), 128) << i;
        int darkest = 255;
        for (int x = left; x < left + 300; ++x) {
            darkest = std::min(darkest, at(x, 22));
        }
        EXPECT_LT(darkest, at(left + 400, 400) - 64) << i;
    }
}

TEST(ImagePreparation, EmptyFlatAreasOfAWholeScreenBecomeBackgroundAndSmallDarkWindowsTurn)
{
    // A black block and a black bar hold nothing and go. A dark window too small to be a stripe
    // of its own encloses its text and is turned, margins and all; so is a dark button.
    QImage screen(1600, 900, QImage::Format_RGB32);
    screen.fill(QColor(253, 246, 227));
    {
        QPainter painter(&screen);
        painter.drawImage(400, 0, textImage({QColor(253, 246, 227), QColor(104, 104, 104)}, 11));
        painter.fillRect(0, 500, 300, 360, Qt::black);
        painter.fillRect(0, 860, 1600, 40, Qt::black);
        painter.fillRect(0, 0, 24, 400, Qt::black);
        painter.fillRect(900, 100, 600, 300, SampleImages::dark.background);
        painter.drawImage(900, 100, textImage(SampleImages::dark, 13));
        painter.fillRect(400, 600, 200, 48, QColor(40, 90, 200));
        painter.setPen(Qt::white);
        painter.drawText(QRect(400, 600, 200, 48), Qt::AlignCenter, QStringLiteral("Sign in"));
    }
    const PreparedImage prepared = ImagePreparation::prepareForText(screen);
    ASSERT_FALSE(prepared.wasInverted);
    const auto at = [&](int x, int y) {
        return pixel(prepared.image, prepared.padding + int(x * prepared.scale),
                     prepared.padding + int(y * prepared.scale));
    };
    const auto darkest = [&](const QRect &area) {
        int shade = 255;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                shade = std::min(shade, at(x, y));
            }
        }
        return shade;
    };
    EXPECT_EQ(at(150, 700), 255);
    EXPECT_EQ(at(800, 880), 255);
    // What the capture cut of a window beside another: a strip along its edge, too thin for a
    // bare block.
    EXPECT_EQ(at(12, 200), 255);
    for (const QRect &window : {QRect(900, 100, 600, 300), QRect(400, 600, 200, 48)}) {
        const int inside = at(window.right() - 4, window.bottom() - 4);
        EXPECT_GE(inside, 128) << window.x();
        EXPECT_LT(darkest(window), inside - 96) << window.x();
    }
}

TEST(ImagePreparation, SmallTextBesideAWindowEdgeThatInksEveryRowIsEnlarged)
{
    // Across the whole width, a window's edge ran every row of the screen into one.
    QImage screen(1600, 900, QImage::Format_RGB32);
    screen.fill(Qt::white);
    {
        QPainter painter(&screen);
        QStringList lines;
        for (int n = 0; n < 30; ++n) {
            lines << QStringLiteral("Settings, then a line of small text beside the window");
        }
        painter.drawImage(40, 20, SampleImages::text(lines, SampleImages::textStyle(11)));
        painter.fillRect(800, 0, 8, 860, QColor(60, 60, 60));
    }
    EXPECT_GE(ImagePreparation::prepareForText(screen).scale, 1.5);
}

TEST(ImagePreparation, RulesGoButADarkBlockKeepsItsShadeBetweenItsLetters)
{
    // A light dialog on a blue desktop holding a picture, so that it is not turned: once the
    // screen is turned to dark on light, the long runs of its shade between its letters are no
    // rules. A separator on the desktop is one.
    QImage screen(1280, 720, QImage::Format_RGB32);
    screen.fill(QColor(0, 56, 140));
    const Theme dialog{QColor(250, 250, 250), QColor(40, 40, 40)};
    {
        QPainter painter(&screen);
        painter.setPen(QColor(250, 250, 250));
        painter.drawLine(100, 650, 600, 650);
        painter.fillRect(700, 150, 500, 400, dialog.background);
        for (int line = 0; line < 6; ++line) {
            painter.drawImage(710, 160 + 60 * line, textImage(dialog, 14));
        }
        painter.fillRect(1100, 480, 60, 40, QColor(120, 120, 120));
    }
    const PreparedImage prepared = ImagePreparation::prepareForText(screen);
    ASSERT_TRUE(prepared.wasInverted);
    const auto at = [&](int x, int y) {
        return pixel(prepared.image, prepared.padding + int(x * prepared.scale),
                     prepared.padding + int(y * prepared.scale));
    };
    EXPECT_EQ(at(350, 650), at(350, 640));
    ASSERT_LT(at(705, 155), 128) << "the dialog was turned";
    // Between the dialog's lines of text, one shade right across.
    for (int y : {205, 265, 325}) {
        int darkest = 255;
        int lightest = 0;
        for (int x = 705; x < 1195; ++x) {
            darkest = std::min(darkest, at(x, y));
            lightest = std::max(lightest, at(x, y));
        }
        EXPECT_LE(lightest - darkest, 16) << y;
    }
}

TEST(ImagePreparation, TheCardsOfALightWindowOnADarkDesktopStayAsTheWindowIs)
{
    // A light settings window whose white cards hold its text: turned on their own, the cards
    // would be light in a dark window.
    QImage screen(1280, 720, QImage::Format_RGB32);
    screen.fill(QColor(0, 56, 140));
    const Theme card{QColor(255, 255, 255), QColor(40, 40, 40)};
    {
        QPainter painter(&screen);
        painter.fillRect(300, 40, 700, 680, QColor(246, 245, 244));
        painter.fillRect(520, 120, 440, 200, card.background);
        painter.drawImage(530, 130, textImage(card, 13));
        painter.fillRect(520, 360, 440, 200, card.background);
        painter.drawImage(530, 370, textImage(card, 13));
    }
    const PreparedImage prepared = ImagePreparation::prepareForText(screen);
    const auto at = [&](int x, int y) {
        return pixel(prepared.image, prepared.padding + int(x * prepared.scale),
                     prepared.padding + int(y * prepared.scale));
    };
    EXPECT_LT(std::abs(at(900, 300) - at(400, 300)), 64);
    EXPECT_LT(std::abs(at(900, 540) - at(400, 540)), 64);
}
