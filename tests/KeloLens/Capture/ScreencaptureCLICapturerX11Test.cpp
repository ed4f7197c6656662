// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Capture/ScreencaptureCLICapturer.h"

#include <QCoro/QCoroTask>
#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <gtest/gtest.h>

namespace {

const QColor left(0x20, 0xc0, 0x40);
const QColor right(0xc0, 0x20, 0xa0);

bool near(const QColor &a, const QColor &b)
{
    return std::abs(a.red() - b.red()) <= 8 && std::abs(a.green() - b.green()) <= 8 &&
           std::abs(a.blue() - b.blue()) <= 8;
}

} // namespace

// The real region tool on the real X server: a window with two known colours is put on screen,
// maim is started as the capturer would start it, and xdotool drags a rectangle across the
// boundary between the colours.
TEST(ScreencaptureCLICapturerX11, MaimReturnsThePixelsOfADraggedRegion)
{
    const QString maim = QStandardPaths::findExecutable(QStringLiteral("maim"));
    const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    if (maim.isEmpty() || xdotool.isEmpty()) {
        GTEST_SKIP() << "maim and xdotool are needed";
    }

    // 600 x 400 at (100, 100): green on the left half, magenta on the right (global x >= 400).
    QPixmap pixmap(600, 400);
    pixmap.fill(left);
    {
        QPainter painter(&pixmap);
        painter.fillRect(300, 0, 300, 400, right);
    }
    QLabel window;
    window.setWindowFlags(Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
    window.setPixmap(pixmap);
    window.setGeometry(100, 100, 600, 400);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(200);

    QTemporaryDir dir;
    const QString captures = dir.filePath(QStringLiteral("captures"));
    ScreencaptureCLICapturer capturer(
        CaptureTool{maim,
                    {QStringLiteral("-s"), QString::fromLatin1(CaptureTool::pathPlaceholder)},
                    {1},
                    {}},
        captures);

    // A press and release in one place would select a whole window, so move in small steps.
    const auto dragAfter = [](int seconds) {
        QStringList drag{QStringLiteral("sleep"), QString::number(seconds),
                         QStringLiteral("mousemove"), QStringLiteral("250"), QStringLiteral("200"),
                         QStringLiteral("sleep"), QStringLiteral("0.2"),
                         QStringLiteral("mousedown"), QStringLiteral("1"),
                         // The tool polls the pointer: let it see the press before it moves.
                         QStringLiteral("sleep"), QStringLiteral("0.3")};
        for (int step = 1; step <= 30; ++step) {
            drag << QStringLiteral("mousemove") << QString::number(250 + step * 10)
                 << QString::number(200 + step * 5) << QStringLiteral("sleep")
                 << QStringLiteral("0.03");
        }
        drag << QStringLiteral("sleep") << QStringLiteral("0.2") << QStringLiteral("mouseup")
             << QStringLiteral("1");
        return drag;
    };

    // On a busy machine the tool may not have grabbed the pointer when the drag starts; then
    // Escape ends that selection and the drag is tried again, later.
    CaptureOutcome outcome = CaptureCancelled{};
    for (int attempt = 1; attempt <= 3 && !std::holds_alternative<CapturedImage>(outcome);
         ++attempt) {
        QCoro::Task<CaptureOutcome> capture = capturer.capture();
        QProcess driver;
        QTimer escape;
        escape.setSingleShot(true);
        QObject::connect(&escape, &QTimer::timeout, [&xdotool] {
            QProcess::execute(xdotool, {QStringLiteral("key"), QStringLiteral("Escape")});
        });
        QObject::connect(&driver, &QProcess::finished, [&escape] { escape.start(5000); });
        driver.start(xdotool, dragAfter(attempt));
        // The event loop keeps turning while the tool runs, so the window repaints what the
        // tool's selection frame covered.
        outcome = QCoro::waitFor(std::move(capture));
        driver.waitForFinished(10000);
    }

    const auto *captured = std::get_if<CapturedImage>(&outcome);
    ASSERT_NE(captured, nullptr) << "the selection did not produce an image";
    const QImage &image = captured->image;
    // maim includes both corner pixels: 300 x 150 dragged, 301 x 151 captured.
    EXPECT_NEAR(image.width(), 301, 2);
    EXPECT_NEAR(image.height(), 151, 2);
    // The selection starts at global x 250, so the colour changes 150 pixels in.
    for (int y : {10, image.height() / 2, image.height() - 10}) {
        EXPECT_TRUE(near(image.pixelColor(10, y), left)) << y;
        EXPECT_TRUE(near(image.pixelColor(146, y), left)) << y;
        EXPECT_TRUE(near(image.pixelColor(154, y), right)) << y;
        EXPECT_TRUE(near(image.pixelColor(image.width() - 10, y), right)) << y;
    }
    // The pointer ended at (550, 350), the bottom-right corner.
    ASSERT_TRUE(captured->region.has_value());
    EXPECT_NEAR(captured->region->x, 250, 2);
    EXPECT_NEAR(captured->region->y, 200, 2);
    EXPECT_DOUBLE_EQ(captured->region->width, image.width() / window.devicePixelRatio());
    EXPECT_TRUE(QDir(captures).isEmpty());
}
