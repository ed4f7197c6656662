// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/Platform.h"
#include "support/TestSupport.h"

#include <QCoro/QCoroTask>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

TEST(ScreenReaderX11, ReadsEveryMonitorWhereQtPutsItWithWhatItShows)
{
    const auto platform = KeloPlatform::createPlatform(QStringLiteral("x11"));
    ASSERT_TRUE(platform->screenReader->canRead());
    // A window of one colour, where the window manager cannot move it.
    QWidget window(nullptr, Qt::BypassWindowManagerHint | Qt::FramelessWindowHint);
    window.setGeometry(200, 150, 120, 80);
    window.setStyleSheet(QStringLiteral("background: #20a060"));
    window.show();
    ASSERT_TRUE(KeloTest::waitUntil([&] { return window.isVisible(); }));
    KeloTest::processEventsFor(std::chrono::milliseconds(300));

    const KeloPlatform::ScreenContents contents = QCoro::waitFor(platform->screenReader->read());
    EXPECT_EQ(contents.failure, QString());
    ASSERT_EQ(contents.monitors.size(), QGuiApplication::screens().size());
    const KeloPlatform::MonitorImage &first = contents.monitors.first();
    EXPECT_EQ(first.geometry, QGuiApplication::screens().first()->geometry());
    EXPECT_EQ(first.image.size(), first.geometry.size());
    const QPoint inside = window.geometry().center() - first.geometry.topLeft();
    EXPECT_EQ(first.image.pixelColor(inside), QColor(0x20, 0xa0, 0x60));
    EXPECT_NE(first.image.pixelColor(window.geometry().topLeft() - QPoint(2, 2)),
              QColor(0x20, 0xa0, 0x60));
}
