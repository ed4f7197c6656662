// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Capture/OverlayScreenCapturer.h"

#include "KeloLens/Capture/RegionCut.h"
#include "support/fakes/CaptureFakes.h"
#include "support/fakes/PlatformFakes.h"

#include <QCoro/QCoroTask>
#include <QTimer>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using KeloPlatform::MonitorImage;

namespace {

// A monitor's picture in which each pixel says where it is: red and green its column and row
// (modulo 256), blue which monitor.
QImage picture(QSize size, int monitor)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            image.setPixel(x, y, qRgb(x % 256, y % 256, monitor));
        }
    }
    return image;
}

// As Qt places them: on the left a 400 x 200 monitor at scale 2, on its right a 300 x 150 one at
// scale 1, whose global coordinates start where its server pixels do, past a band no monitor
// shows.
const QList<MonitorImage> monitors{
    {QStringLiteral("L"), QRect(0, 0, 200, 100), picture({400, 200}, 1)},
    {QStringLiteral("R"), QRect(400, 0, 300, 150), picture({300, 150}, 2)},
};

} // namespace

TEST(RegionCut, WithinOneMonitorGivesItsOwnPixelsAtItsScale)
{
    const QImage left = RegionCut::cut(monitors, {10, 20, 50, 30});
    EXPECT_EQ(left.size(), QSize(100, 60));
    EXPECT_EQ(left.pixel(0, 0), qRgb(20, 40, 1));
    EXPECT_EQ(left.pixel(99, 59), qRgb(119, 99, 1));
    const QImage right = RegionCut::cut(monitors, {450, 10, 20, 20});
    EXPECT_EQ(right.size(), QSize(20, 20));
    EXPECT_EQ(right.pixel(0, 0), qRgb(50, 10, 2));
    EXPECT_TRUE(RegionCut::cut(monitors, {220, 10, 100, 50}).isNull()) << "on no monitor";
}

TEST(RegionCut, AcrossMonitorsLeavesOutTheBandNoMonitorShowsAtTheLargestScale)
{
    // 50 units of each monitor: 200 pixels wide at scale 2, not 600 with the band.
    const ExactRect across{150, 10, 300, 40};
    const QImage image = RegionCut::cut(monitors, across);
    ASSERT_EQ(image.size(), QSize(200, 80));
    EXPECT_EQ(RegionCut::pixelSize(monitors, across), image.size());
    // The left monitor's own pixels from its column 300 on, the right one's doubled: its column
    // 25 and row 40 come out at 150 and 60.
    EXPECT_EQ(image.pixel(10, 10), qRgb(310 % 256, 30, 1));
    EXPECT_EQ(qBlue(image.pixel(99, 40)), 1);
    EXPECT_EQ(qBlue(image.pixel(101, 40)), 2);
    EXPECT_NEAR(qRed(image.pixel(150, 60)), 25, 1);
    EXPECT_NEAR(qGreen(image.pixel(150, 60)), 40, 1);
}

TEST(OverlayScreenCapturer, CutsTheSelectionFromTheScreenReadOnceAndKnowsWhereItWas)
{
    KeloTest::FakeScreenReader reader;
    reader.contents.monitors = monitors;
    KeloTest::FakeRegionSelector selector;
    selector.selection = ExactRect{10, 20, 50, 30};
    OverlayScreenCapturer capturer(reader, selector);

    const CaptureOutcome outcome = QCoro::waitFor(capturer.capture());
    const auto *captured = std::get_if<CapturedImage>(&outcome);
    ASSERT_NE(captured, nullptr);
    EXPECT_EQ(captured->image.size(), QSize(100, 60));
    EXPECT_EQ(captured->region, (SelectedRegion{{10, 20, 50, 30}, false}));
    EXPECT_EQ(selector.shown.size(), 2);
    EXPECT_EQ(reader.reads, 1);
}

TEST(OverlayScreenCapturer, AScreenThatCannotBeReadIsAMessageAndACancelIsSilent)
{
    KeloTest::FakeScreenReader reader;
    reader.contents.failure = QStringLiteral("Couldn't read the screen: the X server refused it.");
    KeloTest::FakeRegionSelector selector;
    OverlayScreenCapturer capturer(reader, selector);
    EXPECT_EQ(QCoro::waitFor(capturer.capture()),
              CaptureOutcome(CaptureFailed{reader.contents.failure}));
    EXPECT_TRUE(selector.shown.isEmpty()) << "no selection over a screen not read";

    reader.contents = {monitors, {}};
    EXPECT_EQ(QCoro::waitFor(capturer.capture()), CaptureOutcome(CaptureCancelled{}));

    // Cancelled while the user selects (quit, the X server gone): the selection is closed.
    selector.selection = ExactRect{10, 20, 50, 30};
    selector.delay = 200ms;
    QTimer::singleShot(50ms, [&] { capturer.cancel(); });
    EXPECT_EQ(QCoro::waitFor(capturer.capture()), CaptureOutcome(CaptureCancelled{}));
    EXPECT_EQ(selector.cancels, 1);
}
