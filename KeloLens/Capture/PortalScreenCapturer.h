// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Capture/ScreenCapturer.h"

#include <QString>

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
                                  QString directory = defaultDirectory());

    // The captures folder the region tool capturer uses too.
    [[nodiscard]] static QString defaultDirectory();

    QCoro::Task<CaptureOutcome> capture() override;

private:
    KeloPlatform::ScreenshotService *m_screenshots;
    QString m_directory;
};
