// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloOnboarding/OnboardingView.h"
#include "KeloOnboarding/OnboardingWindowController.h"
#include "support/TestSupport.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>
#include <memory>

namespace {

OnboardingStep labelStep(const QString &id, std::function<bool()> isComplete = {})
{
    return {id, [id] { return new QLabel(id); }, std::move(isComplete)};
}

QList<OnboardingStep> threeSteps(std::function<bool()> middleIsComplete = {})
{
    return {labelStep("welcome"), labelStep("screenRecording", std::move(middleIsComplete)),
            labelStep("tryIt")};
}

QString shownStep(const OnboardingView &view)
{
    return view.content() != nullptr ? view.content()->objectName() : QString();
}

} // namespace

TEST(OnboardingView, BlockedStepOffersSkipButNeverMovesOnByItself)
{
    bool isGranted = false;
    int finishes = 0;
    OnboardingView view(threeSteps([&isGranted] { return isGranted; }), 1,
                        QStringLiteral("Start Using KeloLens"), [&finishes] { ++finishes; });
    view.show();
    EXPECT_EQ(shownStep(view), "screenRecording");
    EXPECT_FALSE(view.skipButton()->isHidden());
    EXPECT_EQ(view.mainButton()->text(), "Continue");

    // Granted elsewhere: within a tick "Skip for now" goes, and the step stays.
    isGranted = true;
    ASSERT_TRUE(KeloTest::waitUntil([&] { return view.skipButton()->isHidden(); }));
    EXPECT_EQ(view.index(), 1);

    isGranted = false;
    ASSERT_TRUE(KeloTest::waitUntil([&] { return !view.skipButton()->isHidden(); }));
    view.skipButton()->click();
    EXPECT_EQ(shownStep(view), "tryIt");
    EXPECT_EQ(view.mainButton()->text(), "Start Using KeloLens");
    EXPECT_EQ(finishes, 0);
    view.mainButton()->click();
    EXPECT_EQ(finishes, 1);
}

TEST(OnboardingWindowController, FinishesOnceByButtonOrCloseBox)
{
    int finishes = 0;
    OnboardingWindowController controller(QStringLiteral("Welcome to KeloLens"), QSize(500, 400),
                                          [&finishes] { ++finishes; });
    EXPECT_EQ(controller.window(), nullptr);
    controller.show(threeSteps(), 2, QStringLiteral("Start Using KeloLens"));
    QWidget *window = controller.window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());

    // Return on the last step presses its button, which closes the window.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_Return);
    EXPECT_EQ(finishes, 1);
    EXPECT_TRUE(controller.isFinished());
    EXPECT_EQ(controller.window(), nullptr);
}

TEST(OnboardingWindowController, ClosingTheWindowFinishesAndAnotherShowReusesIt)
{
    int finishes = 0;
    OnboardingWindowController controller(QStringLiteral("Welcome to KeloLens"), QSize(500, 400),
                                          [&finishes] { ++finishes; });
    controller.show(threeSteps(), 0, QStringLiteral("Start Using KeloLens"));
    QWidget *window = controller.window();
    // A capture refused for permission while onboarding is open: same window, new start.
    controller.show(threeSteps(), 1, QStringLiteral("Start Using KeloLens"));
    EXPECT_EQ(controller.window(), window);
    EXPECT_EQ(controller.view()->index(), 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window->findChildren<OnboardingView *>().size(), 1);

    // Ctrl+W closes the window as its close button does.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(finishes, 1);
    EXPECT_EQ(controller.window(), nullptr);
    EXPECT_FALSE(window->isVisible());
}

TEST(OnboardingWindowController, OwnerMayDropTheControllerWhenItFinishes)
{
    std::unique_ptr<OnboardingWindowController> controller;
    controller = std::make_unique<OnboardingWindowController>(
        QStringLiteral("Welcome to KeloLens"), QSize(500, 400),
        [&controller] { controller.reset(); });
    controller->show(threeSteps(), 2, QStringLiteral("Start Using KeloLens"));
    QPointer<QWidget> window = controller->window();
    controller->view()->mainButton()->click();
    EXPECT_EQ(controller, nullptr);
    EXPECT_TRUE(KeloTest::waitUntil([&] { return window.isNull(); }));
}
