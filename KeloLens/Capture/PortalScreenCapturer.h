// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Capture/CaptureFiles.h"
#include "KeloLens/Capture/ScreenCapturer.h"

#include <QString>

#include <memory>

namespace KeloPlatform {
class ScreenshotService;
}

// Captures through the desktop's own screenshot service (the Screenshot portal under Wayland):
// the desktop shows its selection, hands back a file, and the file is moved (or, when it is not
// ours to move, copied) into the private captures folder, read, and deleted. The desktop does not
// say where on the screen the selection was, so the region is absent and the panel takes its
// fixed place.
class PortalScreenCapturer final : public ScreenCapturer
{
public:
    // The service must outlive the capturer.
    explicit PortalScreenCapturer(KeloPlatform::ScreenshotService &screenshots,
                                  QString directory = CaptureFiles::defaultFolder());

    QCoro::Task<CaptureOutcome> capture() override;
    // A request the desktop is showing cannot be withdrawn: the capture completes as cancelled
    // when the desktop answers, and whatever it hands back then is dropped.
    void cancel() override;
    int removeLeftovers() override;

private:
    struct Run;

    KeloPlatform::ScreenshotService *m_screenshots;
    QString m_directory;
    // The capture under way; owned by its coroutine, which may outlive this object.
    std::weak_ptr<Run> m_running;
};
