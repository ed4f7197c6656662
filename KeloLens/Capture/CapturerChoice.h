// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Capture/ScreenCapturer.h"

#include <QProcessEnvironment>

#include <functional>
#include <memory>

class RegionSelector;

namespace KeloPlatform {
class ScreenReader;
class ScreenshotService;
} // namespace KeloPlatform

// The desktop's own way of selecting that fits the session: on X11 a region tool; under Wayland a
// region tool that sees Wayland windows where the desktop has one (Spectacle on KDE Plasma, slurp
// and grim on wlroots compositors), otherwise the desktop's screenshot portal (GNOME). Never a
// tool that would show Wayland windows black. `screenshots` must outlive the capturer.
[[nodiscard]] std::unique_ptr<ScreenCapturer> createDesktopToolCapturer(
    KeloPlatform::ScreenshotService &screenshots,
    const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
    const std::function<QString(const QString &)> &findExecutable = {});

// The capturer the application uses: at each capture, our own selection on a still picture of
// the screen where the session lets us read the screen and `isOwnSelectionPreferred` says so
// (the user's setting), else the desktop's tool above. The services and the selector must
// outlive it.
[[nodiscard]] std::unique_ptr<ScreenCapturer> createScreenCapturer(
    KeloPlatform::ScreenshotService &screenshots, KeloPlatform::ScreenReader &reader,
    RegionSelector &selector, std::function<bool()> isOwnSelectionPreferred,
    const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
