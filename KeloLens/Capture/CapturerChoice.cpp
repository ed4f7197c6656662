// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Capture/CapturerChoice.h"

#include "KeloLens/Capture/PortalScreenCapturer.h"
#include "KeloLens/Capture/ScreencaptureCLICapturer.h"
#include "KeloPlatform/Platform.h"

std::unique_ptr<ScreenCapturer>
createScreenCapturer(KeloPlatform::ScreenshotService &screenshots,
                     const QProcessEnvironment &environment,
                     const std::function<QString(const QString &)> &findExecutable)
{
    std::optional<CaptureTool> tool =
        ScreencaptureCLICapturer::chooseTool(environment, findExecutable);
    if (!tool && KeloPlatform::isWaylandSession(environment)) {
        // Even without a portal this is the capturer to have: its failure says what is missing.
        return std::make_unique<PortalScreenCapturer>(screenshots);
    }
    return std::make_unique<ScreencaptureCLICapturer>(
        std::move(tool), CaptureFiles::defaultFolder(), ScreencaptureCLICapturer::toolTimeout,
        ScreencaptureCLICapturer::toolToInstall(environment));
}
