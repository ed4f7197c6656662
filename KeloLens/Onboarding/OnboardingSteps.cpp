// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Onboarding/OnboardingSteps.h"

#include "KeloLens/Capture/PermissionChecker.h"
#include "KeloLens/Onboarding/ScreenRecordingStep.h"
#include "KeloLens/Onboarding/TryItStep.h"
#include "KeloLens/Onboarding/WelcomeStep.h"

QList<OnboardingStep> makeOnboardingSteps(const QString &hotKey, PermissionChecker &permission,
                                          std::function<void()> tryCapture, const QString &website,
                                          bool canPaste, const QString &installCommand,
                                          const ScreenAccessRequest &screenAccessRequest)
{
    PermissionChecker *checker = &permission;
    return {
        {QStringLiteral("welcome"),
         [hotKey, website, installCommand] {
             return new WelcomeStep(hotKey, website, installCommand);
         },
         {}},
        {QStringLiteral("screenRecording"),
         [checker, screenAccessRequest] {
             return new ScreenRecordingStep(*checker, screenAccessRequest);
         },
         [checker] { return checker->isScreenRecordingGranted(); }},
        {QStringLiteral("tryIt"),
         [hotKey, tryCapture, canPaste] { return new TryItStep(hotKey, tryCapture, canPaste); },
         {}},
    };
}
