// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a wlroots compositor's screen with the real grim, on a headless sway of the test's own.

#include "KeloPlatform/wayland/GrimScreenReader.h"
#include "support/TestSupport.h"
#include "support/WaylandSession.h"

#include <QCoro/QCoroTask>

#include <gtest/gtest.h>

TEST(GrimScreenReader, ReadsTheOutputWhereTheCompositorAllowsItAndSaysNoElsewhere)
{
    KeloTest::WaylandSession session;
    if (!session.isReady()) {
        GTEST_SKIP() << session.problem().toStdString();
    }
    // grim, a child, finds the compositor where this process does.
    const KeloTest::ScopedEnvironment display(
        "WAYLAND_DISPLAY", (session.runtimeFolder() + u'/' + session.display()).toLocal8Bit());
    const auto reader =
        KeloPlatform::createGrimScreenReader(QProcessEnvironment::systemEnvironment());
    ASSERT_TRUE(reader->canRead());
    const KeloPlatform::ScreenContents contents = QCoro::waitFor(reader->read());
    EXPECT_EQ(contents.failure, QString());
    ASSERT_EQ(contents.monitors.size(), 1);
    // The one output whole, in its own pixels, whatever size Qt gives its screen.
    EXPECT_EQ(contents.monitors.first().image.size(), QSize(1280, 720));

    // No compositor there, or none that offers screencopy: the desktop's tool must select.
    QProcessEnvironment nowhere;
    nowhere.insert(QStringLiteral("WAYLAND_DISPLAY"),
                   session.runtimeFolder() + QStringLiteral("/no-such"));
    const auto unreadable = KeloPlatform::createGrimScreenReader(nowhere);
    EXPECT_FALSE(unreadable->canRead());
    EXPECT_FALSE(QCoro::waitFor(unreadable->read()).failure.isEmpty());
}
