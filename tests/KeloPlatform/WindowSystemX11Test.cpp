// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/Platform.h"
#include "support/TestSupport.h"
#include "support/X11Harness.h"

#include <QCoreApplication>
#include <QProcess>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

class WindowSystemX11 : public ::testing::Test
{
protected:
    std::optional<uint32_t> frontmostWindow() const { return KeloTest::frontmostWindow(windows()); }

    bool showInFront(QWidget &window)
    {
        window.show();
        return KeloTest::bringToFront(windows(), uint32_t(window.winId()));
    }

    KeloPlatform::WindowSystem &windows() const { return *m_platform->windowSystem; }

    std::unique_ptr<KeloPlatform::Platform> m_platform =
        KeloPlatform::createPlatform(QStringLiteral("x11"));
};

} // namespace

TEST_F(WindowSystemX11, ReportsAndSwitchesTheFrontmostWindow)
{
    ASSERT_EQ(m_platform->backend, QStringLiteral("x11"));
    QWidget first;
    QWidget second;
    ASSERT_TRUE(showInFront(first));
    ASSERT_TRUE(showInFront(second));
    const auto firstId = uint32_t(first.winId());
    const auto secondId = uint32_t(second.winId());

    const auto frontmost = windows().frontmostApplication();
    ASSERT_TRUE(frontmost);
    EXPECT_EQ(frontmost->processId, QCoreApplication::applicationPid());
    EXPECT_TRUE(frontmost->isSameApplication({secondId, std::nullopt}));

    EXPECT_TRUE(windows().activate({firstId, std::nullopt}));
    EXPECT_TRUE(KeloTest::waitUntil([&] { return frontmostWindow() == firstId; }));

    // A window that has gone cannot be brought forward.
    uint32_t goneId = 0;
    {
        QWidget window;
        window.show();
        goneId = uint32_t(window.winId());
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(windows().activate({goneId, std::nullopt}));
    EXPECT_FALSE(windows().activate({0, std::nullopt}));
}

TEST_F(WindowSystemX11, KnowsWhetherACompositorRuns)
{
    // The test server runs openbox, which does not composite.
    EXPECT_FALSE(windows().isCompositing());
    QProcess compositor;
    compositor.start(QStringLiteral("xcompmgr"), QStringList());
    ASSERT_TRUE(compositor.waitForStarted());
    EXPECT_TRUE(KeloTest::waitUntil([&] { return windows().isCompositing(); }));
    compositor.terminate();
    compositor.waitForFinished();
    EXPECT_TRUE(KeloTest::waitUntil([&] { return !windows().isCompositing(); }));
}
