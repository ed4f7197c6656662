// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPanel/FloatingPanelController.h"

#include "support/TestSupport.h"
#include "support/fakes/PlatformFakes.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

using KeloPlatform::RunningApplication;

class FloatingPanelControllerTest : public ::testing::Test
{
protected:
    FloatingPanelControllerTest()
    {
        auto *layout = new QVBoxLayout(content);
        layout->addWidget(field);
        windows.frontmost = RunningApplication{77, 4242};
    }
    ~FloatingPanelControllerTest() override { controller.hide(); }

    // A key press as the window system delivers it: to the panel's native window.
    void press(Qt::Key key, const QString &text)
    {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, text);
        QCoreApplication::sendEvent(controller.panel().windowHandle(), &event);
    }

    KeloTest::FakeWindowSystem windows;
    QWidget *content = new QWidget;
    QLineEdit *field = new QLineEdit(content);
    FloatingPanelController controller{{420, 400}, std::nullopt, content, windows};
};

} // namespace

TEST_F(FloatingPanelControllerTest, ShowsInsideTheScreenAndRemembersTheApplicationInFront)
{
    controller.show(ExactRect{100, 80, 200, 40});
    ASSERT_TRUE(controller.isVisible());
    EXPECT_EQ(controller.panel().size(), QSize(476, 456));
    EXPECT_EQ(field->window(), &controller.panel());
    EXPECT_TRUE(QGuiApplication::primaryScreen()->availableGeometry().contains(
        controller.panel().geometry()));
    EXPECT_EQ(controller.previousApp(), (RunningApplication{77, 4242}));

    // This application itself in front, or nothing: there is nowhere to go back to.
    controller.hide();
    windows.frontmost = RunningApplication{78, QCoreApplication::applicationPid()};
    controller.show();
    EXPECT_EQ(controller.previousApp(), std::nullopt);
    controller.hide();
    windows.frontmost.reset();
    controller.show();
    EXPECT_EQ(controller.previousApp(), std::nullopt);
}

TEST_F(FloatingPanelControllerTest, FollowsTheCompositorBetweenShows)
{
    controller.show();
    EXPECT_EQ(controller.panel().size(), QSize(476, 456));
    windows.isCompositingManagerRunning = false;
    controller.show(ExactRect{10, 10, 10, 10});
    EXPECT_EQ(controller.panel().size(), QSize(476, 456)) << "a visible panel is not rebuilt";
    controller.hide();
    controller.show();
    EXPECT_EQ(controller.panel().size(), QSize(420, 400));
    EXPECT_FALSE(controller.panel().mask().isEmpty());
    EXPECT_EQ(field->window(), &controller.panel());
}

TEST_F(FloatingPanelControllerTest, LosingTheFocusHidesThePanelUnlessTheOwnerSaysOtherwise)
{
    QWidget other;
    other.resize(100, 100);
    const auto focusElsewhere = [&] {
        other.show();
        other.activateWindow();
        return KeloTest::waitUntil([&] { return other.isActiveWindow(); });
    };

    controller.show();
    ASSERT_TRUE(KeloTest::waitUntil([&] { return controller.panel().isActiveWindow(); }));
    controller.hidesOnResignKey = false;
    ASSERT_TRUE(focusElsewhere());
    EXPECT_TRUE(controller.isVisible());

    controller.hidesOnResignKey = true;
    controller.panel().activateWindow();
    ASSERT_TRUE(KeloTest::waitUntil([&] { return controller.panel().isActiveWindow(); }));
    int didHide = 0;
    controller.onDidHide = [&] { ++didHide; };
    ASSERT_TRUE(focusElsewhere());
    EXPECT_FALSE(controller.isVisible());
    EXPECT_EQ(didHide, 1);
}
