// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Results/ResultPanelController.h"
#include "KeloLens/Results/ResultViewModel.h"
#include "KeloLens/Results/ToastController.h"
#include "KeloPanel/FloatingPanelController.h"
#include "KeloPaste/Accessibility.h"
#include "KeloPaste/PasteService.h"
#include "KeloPlatform/Platform.h"
#include "support/HelperProcess.h"
#include "support/TestSupport.h"
#include "support/X11Harness.h"

#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

KeloPlatform::Platform &platform()
{
    return KeloTest::x11Platform();
}

using KeloTest::frontmostWindow;

// The paste target: a window with one focused text field that reports every change of its text,
// put in front the way a pager would.
struct PasteTarget
{
    KeloTest::HelperProcess process{KeloTest::helperProgram("kelo-test-paste-target")};

    std::optional<uint32_t> start()
    {
        // A first Qt program on a fresh X server may take a while to come up on a busy machine.
        const auto window = process.waitForLine(QStringLiteral("ready "), 20s);
        if (!window || !KeloTest::bringToFront(*platform().windowSystem, window->toUInt())) {
            return std::nullopt;
        }
        return window->toUInt();
    }
    [[nodiscard]] QString lastText() const
    {
        const QStringList lines = process.lines();
        for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
            if (line->startsWith(QStringLiteral("text "))) {
                return line->mid(5);
            }
        }
        return {};
    }
};

class ResultPanelX11 : public ::testing::Test
{
protected:
    bool presentAndTakeFocus(const QString &text)
    {
        // Qt tells widgets that their window lost the focus only 400 ms after the X server does,
        // and forgets the loss when the focus comes back sooner: a panel shown again within that
        // time never hears that it had lost it. Users take longer between two captures.
        KeloTest::processEventsFor(500ms);
        controller.present({{}, {}, text}, PanelMode::all, ExactRect{100, 300, 300, 40});
        return KeloTest::waitUntil([&] {
            return controller.panel().panel().isActiveWindow() &&
                   frontmostWindow() == uint32_t(controller.panel().panel().winId());
        });
    }

    KeyboardLayout layout{*platform().keymapSource};
    Accessibility accessibility{*platform().syntheticKeys};
    PasteService paste{*platform().windowSystem, *platform().syntheticKeys, layout};
    ResultViewModel model;
    ToastController toast{*platform().windowSystem};
    ResultPanelController controller{
        model, toast, paste, accessibility, *platform().windowSystem, layout, [] {
            return PanelPosition::nearSelection;
        }};
};

} // namespace

TEST_F(ResultPanelX11, ReturnPastesIntoTheWindowInFrontBeforeAndEscapeOrAClickElsewhereHide)
{
    PasteTarget target;
    const auto targetWindow = target.start();
    ASSERT_TRUE(targetWindow);

    ASSERT_TRUE(presentAndTakeFocus(QString::fromUtf8("Hello from the panel ✓")));
    EXPECT_EQ(controller.panel().previousApp()->windowId, *targetWindow);
    ASSERT_TRUE(KeloTest::xdotool({"key", "Return"}));
    EXPECT_TRUE(KeloTest::waitUntil([&] {
        return target.lastText() == QString::fromUtf8("Hello from the panel ✓");
    })) << target.lastText().toStdString();
    EXPECT_FALSE(controller.isVisible());
    EXPECT_EQ(frontmostWindow(), *targetWindow);

    ASSERT_TRUE(presentAndTakeFocus(QStringLiteral("second")));
    ASSERT_TRUE(KeloTest::xdotool({"key", "Escape"}));
    EXPECT_TRUE(KeloTest::waitUntil([&] { return !controller.isVisible(); }));
    // The keyboard goes back to where the user came from.
    EXPECT_TRUE(KeloTest::waitUntil([&] { return frontmostWindow() == *targetWindow; }));

    ASSERT_TRUE(presentAndTakeFocus(QStringLiteral("third")));
    ASSERT_TRUE(KeloTest::xdotool(
        {"mousemove", "--window", QString::number(*targetWindow), "20", "20", "click", "1"}));
    EXPECT_TRUE(KeloTest::waitUntil([&] { return !controller.isVisible(); }));
    EXPECT_EQ(frontmostWindow(), *targetWindow);
    EXPECT_EQ(target.lastText(), QString::fromUtf8("Hello from the panel ✓"));
}

TEST_F(ResultPanelX11, AToastLeavesTheFocusWhereItWas)
{
    PasteTarget target;
    const auto targetWindow = target.start();
    ASSERT_TRUE(targetWindow);
    toast.show(QStringLiteral("Copied 42 characters"), QStringLiteral("Open Settings"), [] {});
    ASSERT_TRUE(KeloTest::waitUntil([&] { return toast.window()->windowHandle()->isExposed(); }));
    KeloTest::processEventsFor(300ms);
    EXPECT_EQ(frontmostWindow(), *targetWindow);
    ASSERT_TRUE(KeloTest::xdotool({"type", "still typing"}));
    EXPECT_TRUE(KeloTest::waitUntil([&] { return target.lastText() == u"still typing"; }));
}
