// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Capture/PermissionChecker.h"

namespace KeloPlatform {
class ScreenshotService;
}

// The checker of a desktop session. Under X11 every client may read the screen, so access is
// always in force and there is nothing to request. Under Wayland the desktop's screenshot portal
// decides: a refusal the user stored there counts (and can be forgotten, so the desktop asks
// again), and where nothing is stored access counts as granted, because the desktop asks at the
// first capture.
class SystemPermissionChecker : public PermissionChecker
{
public:
    // Without a screenshot service (or with one that has nothing stored) access is granted. The
    // service must outlive the checker.
    explicit SystemPermissionChecker(KeloPlatform::ScreenshotService *screenshots = nullptr)
        : m_screenshots(screenshots)
    {
    }

    [[nodiscard]] bool isScreenRecordingGranted() const override;
    [[nodiscard]] ScreenAccess screenAccess() const override;
    [[nodiscard]] bool canRequestScreenRecording() const override;
    bool requestScreenRecording() override;

private:
    KeloPlatform::ScreenshotService *m_screenshots;
};
