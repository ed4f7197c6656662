// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPanel/PanelPlacement.h"

#include <gtest/gtest.h>

namespace {

// A 1920 x 1080 screen with a 27-pixel bar at the top and a 40-pixel dock at the bottom.
const ScreenArea mainScreen{{0, 0, 1920, 1080}, {0, 27, 1920, 1013}};
const ScreenLayout oneScreen{{mainScreen}, mainScreen};
// The composited results panel: 420 x 400 and a 28-pixel shadow margin.
const QSizeF panel(476, 456);

} // namespace

TEST(PanelPlacement, GoesCentredBelowTheSelectionOrAboveItWhenThereIsNoRoomBelow)
{
    EXPECT_EQ(PanelPlacement::nearSelection({800, 200, 300, 100}, panel, oneScreen),
              QPointF(950 - 238, 300 + 12));
    // 312 + 456 would end below the dock.
    EXPECT_EQ(PanelPlacement::nearSelection({800, 600, 300, 100}, panel, oneScreen),
              QPointF(712, 600 - 12 - 456));
    // A selection inside the dock: the panel fits neither below nor above and sits on the dock.
    EXPECT_EQ(PanelPlacement::nearSelection({800, 1055, 100, 20}, panel, oneScreen),
              QPointF(850 - 238, 1040 - 456));
}

TEST(PanelPlacement, IsClampedIntoTheUsableAreaAndAWindowTooLargeKeepsTheTopRight)
{
    EXPECT_EQ(PanelPlacement::nearSelection({0, 200, 100, 50}, panel, oneScreen)->x(), 0);
    EXPECT_EQ(PanelPlacement::nearSelection({1850, 200, 60, 40}, panel, oneScreen)->x(),
              1920 - 476);
    // A selection covering the whole screen leaves room neither below nor above it.
    EXPECT_EQ(PanelPlacement::nearSelection({0, 0, 1920, 1080}, panel, oneScreen),
              QPointF(960 - 238, 27));
    EXPECT_EQ(PanelPlacement::nearSelection({800, 200, 300, 100}, {3000, 2000}, oneScreen),
              QPointF(1920 - 3000, 27));
}

TEST(PanelPlacement, GoesBesideATallSelectionAndLeavesAnEstimateThatCouldBeCovered)
{
    // Room neither below nor above: beside it, on the right, or else on the left.
    EXPECT_EQ(PanelPlacement::nearSelection({100, 40, 300, 990}, panel, oneScreen),
              QPointF(412, 535 - 228));
    EXPECT_EQ(PanelPlacement::nearSelection({1500, 40, 300, 990}, panel, oneScreen),
              QPointF(1500 - 12 - 476, 535 - 228));

    // Estimated from the pointer at (1100, 300): the selection may reach down to 400 and right to
    // 1400, where the panel would go; the fixed place is taken then.
    EXPECT_EQ(PanelPlacement::nearEstimate({800, 200, 300, 100}, panel, oneScreen), std::nullopt);
    // Near the bottom the panel goes above, out of the pointer's reach, and stays there.
    EXPECT_EQ(PanelPlacement::nearEstimate({800, 900, 100, 50}, panel, oneScreen),
              QPointF(850 - 238, 900 - 12 - 456));
}

TEST(PanelPlacement, UsesTheFirstScreenTheSelectionTouchesWhateverItsPixelRatio)
{
    // Qt's global coordinates for a 1920 x 1080 screen at ratio 1 and, to its right, a
    // 3840 x 2160 screen at ratio 2: the second one's top-left stays where the native screen
    // starts, its size is halved.
    const ScreenArea left{{0, 0, 1920, 1080}, {0, 0, 1920, 1080}};
    const ScreenArea right{{1920, 0, 1920, 1080}, {1920, 32, 1920, 1048}};
    const ScreenLayout screens{{left, right}, left};

    const auto onRight = PanelPlacement::nearSelection({2500, 10, 200, 15}, panel, screens);
    EXPECT_EQ(onRight, QPointF(2600 - 238, 37));
    // Spanning both: the first one in the list wins, here the left one.
    EXPECT_EQ(PanelPlacement::nearSelection({1800, 300, 300, 100}, panel, screens)->x(),
              1920 - 476);
    const ScreenLayout reversed{{right, left}, left};
    EXPECT_EQ(PanelPlacement::nearSelection({1800, 300, 300, 100}, panel, reversed)->x(), 1920);
    // Touching edges are not overlaps.
    EXPECT_EQ(PanelPlacement::nearSelection({1820, 300, 100, 100}, panel, reversed)->x(),
              1920 - 476);
}

TEST(PanelPlacement, FallsBackToThePrimaryScreenAndStaysPutWithoutAnyScreen)
{
    const ScreenArea second{{1920, 0, 1280, 1024}, {1920, 0, 1280, 1024}};
    const ScreenLayout screens{{mainScreen, second}, mainScreen};
    EXPECT_EQ(PanelPlacement::nearSelection({5000, 5000, 10, 10}, panel, screens),
              QPointF(1920 - 476, 1040 - 456));
    EXPECT_EQ(PanelPlacement::nearSelection({800, 200, 0, 0}, panel, screens),
              QPointF(800 - 238, 212));
    EXPECT_EQ(PanelPlacement::fixedPlace({-50, -50}, panel, screens),
              QPointF(960 - 238, 27 + 0.4 * 1013 - 228));
    EXPECT_EQ(PanelPlacement::nearSelection({800, 200, 300, 100}, panel, {}), std::nullopt);
    EXPECT_EQ(PanelPlacement::fixedPlace({10, 10}, panel, {}), std::nullopt);
    EXPECT_EQ(PanelPlacement::topCentre({10, 10}, {200, 40}, {}), std::nullopt);
}

TEST(PanelPlacement, FixedPlaceAndToastsFollowThePointersScreen)
{
    const ScreenArea second{{1920, 0, 1280, 1024}, {1920, 24, 1280, 1000}};
    const ScreenLayout screens{{mainScreen, second}, mainScreen};
    // The centre sits 60 % of the way up the usable height.
    EXPECT_EQ(PanelPlacement::fixedPlace({2000, 500}, {420, 400}, screens),
              QPointF(2560 - 210, 24 + 400 - 200));
    EXPECT_EQ(PanelPlacement::topCentre({2000, 500}, {256, 96}, screens),
              QPointF(2560 - 128, 24 + 12));
    // The left edge belongs to the screen, the right edge to the next one.
    EXPECT_EQ(PanelPlacement::topCentre({1920, 500}, {200, 40}, screens)->x(), 2560 - 100);
    EXPECT_EQ(PanelPlacement::topCentre({1919, 500}, {200, 40}, screens)->x(), 960 - 100);
}
