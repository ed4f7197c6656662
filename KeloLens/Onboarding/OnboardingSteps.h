// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloCore/AppInfo.h"
#include "KeloLens/Capture/ScreenAccessRequest.h"
#include "KeloOnboarding/OnboardingStep.h"

#include <QList>

#include <functional>

class PermissionChecker;

// The three onboarding steps, in order: "welcome", "screenRecording" (done while screen access
// is granted, asked anew at each look) and "tryIt", whose button runs tryCapture. The shortcut
// text is taken once, now (empty where the session has no global shortcuts: the steps then say
// to bind a desktop shortcut to the capture command); the permission checker must outlive the
// steps. Where the session can send no keys (`canPaste` false) the last step promises no paste.
// Where captures cannot work yet, `installCommand` says what to install, on the first page.
// Where the desktop can be asked to let KeloLens read the screen, the second step offers to ask.
[[nodiscard]] QList<OnboardingStep> makeOnboardingSteps(
    const QString &hotKey, PermissionChecker &permission, std::function<void()> tryCapture,
    const QString &website = AppInfo::fromBuild().website, bool canPaste = true,
    const QString &installCommand = {}, const ScreenAccessRequest &screenAccessRequest = {});
