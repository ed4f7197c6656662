// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

class QWidget;

// One page of the onboarding window.
struct OnboardingStep
{
    // Stable name of the step ("welcome").
    QString id;
    // Builds the step's body. It is built afresh every time the step is shown, so its state
    // starts over then.
    std::function<QWidget *()> content;
    // Unset: the step never blocks. Set: the step is done only while it returns true; until then
    // the window also offers to skip it.
    std::function<bool()> isComplete;
};
