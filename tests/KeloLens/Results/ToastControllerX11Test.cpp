// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Results/ToastController.h"
#include "KeloPlatform/Platform.h"
#include "support/HelperProcess.h"
#include "support/TestSupport.h"
#include "support/X11Harness.h"

#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(ToastX11, AToastLeavesTheFocusWhereItWas)
{
    KeloPlatform::Platform &platform = KeloTest::x11Platform();
    // A window with one focused text field that reports every change of its text.
    KeloTest::HelperProcess target(KeloTest::helperProgram("kelo-test-scene"), {"--field"});
    // A first Qt program on a fresh X server may take a while to come up on a busy machine.
    const auto ready = target.waitForLine(QStringLiteral("ready "), 20s);
    ASSERT_TRUE(ready);
    const uint32_t window = ready->section(u' ', 0, 0).toUInt();
    ASSERT_TRUE(KeloTest::bringToFront(*platform.windowSystem, window));

    ToastController toast(*platform.windowSystem);
    toast.show(QStringLiteral("Copied 42 characters"), QStringLiteral("Open Settings"), [] {});
    ASSERT_TRUE(KeloTest::waitUntil([&] { return toast.window()->windowHandle()->isExposed(); }));
    KeloTest::processEventsFor(300ms);
    EXPECT_EQ(KeloTest::frontmostWindow(), window);
    ASSERT_TRUE(KeloTest::xdotool({"type", "still typing"}));
    EXPECT_TRUE(KeloTest::waitUntil([&] { return target.lines().contains("text still typing"); }));
}
