// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Onboarding/OnboardingSteps.h"

#include "KeloHotkey/widgets/KeyCap.h"
#include "KeloLens/Onboarding/ScreenRecordingStep.h"
#include "KeloLens/Onboarding/TryItStep.h"
#include "KeloLens/Onboarding/WelcomeStep.h"
#include "support/TestSupport.h"
#include "support/fakes/CaptureFakes.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>
#include <memory>

namespace {

bool showsText(const QWidget &widget, const QString &text)
{
    for (const QLabel *label : widget.findChildren<QLabel *>()) {
        if (label->text() == text) {
            return true;
        }
    }
    return false;
}

} // namespace

TEST(OnboardingSteps, WelcomeThenScreenAccessThenTryIt)
{
    KeloTest::FakePermissionChecker permission(false);
    int captures = 0;
    const QList<OnboardingStep> steps = makeOnboardingSteps(
        QStringLiteral("Ctrl+Shift+2"), permission, [&captures] { ++captures; });
    ASSERT_EQ(steps.size(), 3);
    // Asked anew each time.
    EXPECT_FALSE(steps[1].isComplete());
    permission.isGranted = true;
    EXPECT_TRUE(steps[1].isComplete());

    const std::unique_ptr<QWidget> welcome(steps[0].content());
    EXPECT_EQ(welcome->findChild<KeyCap *>()->text(), "Ctrl+Shift+2");
    EXPECT_TRUE(showsText(*welcome, "Welcome to KeloLens"));
    // Where captures cannot work yet, the first page says what to install.
    const std::unique_ptr<QWidget> toolMissing(
        makeOnboardingSteps({}, permission, {}, {}, true,
                            QStringLiteral("sudo apt install maim"))[0]
            .content());
    EXPECT_TRUE(showsText(*toolMissing, "sudo apt install maim"));

    const std::unique_ptr<QWidget> tryIt(steps[2].content());
    EXPECT_TRUE(showsText(*tryIt, "Press Ctrl+Shift+2 anywhere"));
    auto *tryItStep = qobject_cast<TryItStep *>(tryIt.get());
    ASSERT_NE(tryItStep, nullptr);
    tryItStep->tryButton()->click();
    EXPECT_EQ(captures, 1);
}

TEST(OnboardingSteps, ScreenAccessStepFollowsThePermission)
{
    KeloTest::FakePermissionChecker permission(false);
    ScreenRecordingStep step(permission);
    EXPECT_FALSE(step.isGranted());
    EXPECT_TRUE(step.askAgainButton()->isHidden()) << "nothing it could do";
    EXPECT_TRUE(step.grantedLabel()->isHidden());
    // A refusal the desktop lets go of: the button forgets it, and the desktop asks again.
    permission.canRequest = true;
    step.refresh();
    ASSERT_FALSE(step.askAgainButton()->isHidden());
    step.askAgainButton()->click();
    EXPECT_EQ(permission.requests, 1);
    EXPECT_TRUE(showsText(step, QStringLiteral("Your desktop will ask at your first capture")));

    permission.isAsked = false;
    step.refresh();
    EXPECT_TRUE(step.isGranted());
    EXPECT_TRUE(step.askAgainButton()->isHidden());
    EXPECT_FALSE(step.grantedLabel()->isHidden());
    EXPECT_TRUE(showsText(step, QStringLiteral("Access granted")));

    // Nothing stored yet, and the desktop can be asked to allow it for good (GNOME): it is asked.
    int questions = 0;
    ScreenRecordingStep askable(permission, {[] { return true; }, [&questions] { ++questions; }});
    permission.isAsked = true;
    askable.refresh();
    ASSERT_FALSE(askable.askAgainButton()->isHidden());
    EXPECT_EQ(askable.askAgainButton()->text(), QStringLiteral("Allow…"));
    EXPECT_TRUE(askable.grantedLabel()->isHidden());
    askable.askAgainButton()->click();
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(permission.requests, 1) << "a refusal was forgotten instead";
}
