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
    KeloTest::HelperProcess target(KeloTest::helperProgram("kelo-test-paste-target"));
    // A first Qt program on a fresh X server may take a while to come up on a busy machine.
    const auto window = target.waitForLine(QStringLiteral("ready "), 20s);
    ASSERT_TRUE(window && KeloTest::bringToFront(*platform.windowSystem, window->toUInt()));

    ToastController toast(*platform.windowSystem);
    toast.show(QStringLiteral("Copied 42 characters"), QStringLiteral("Open Settings"), [] {});
    ASSERT_TRUE(KeloTest::waitUntil([&] { return toast.window()->windowHandle()->isExposed(); }));
    KeloTest::processEventsFor(300ms);
    EXPECT_EQ(KeloTest::frontmostWindow(), window->toUInt());
    ASSERT_TRUE(KeloTest::xdotool({"type", "still typing"}));
    EXPECT_TRUE(KeloTest::waitUntil([&] { return target.lines().contains("text still typing"); }));
}
