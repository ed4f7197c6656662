// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/Platform.h"
#include "support/TestSupport.h"

#include <QProcess>

#include <gtest/gtest.h>

TEST(WindowSystemX11, KnowsWhetherACompositorRuns)
{
    const auto platform = KeloPlatform::createPlatform(QStringLiteral("x11"));
    ASSERT_EQ(platform->backend, QStringLiteral("x11"));
    KeloPlatform::WindowSystem &windows = *platform->windowSystem;
    // The test server runs openbox, which does not composite.
    EXPECT_FALSE(windows.isCompositing());
    QProcess compositor;
    compositor.start(QStringLiteral("xcompmgr"), QStringList());
    ASSERT_TRUE(compositor.waitForStarted());
    EXPECT_TRUE(KeloTest::waitUntil([&] { return windows.isCompositing(); }));
    compositor.terminate();
    compositor.waitForFinished();
    EXPECT_TRUE(KeloTest::waitUntil([&] { return !windows.isCompositing(); }));
}
