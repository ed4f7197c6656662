// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Capture/ScreenCapturer.h"

#include <QProcessEnvironment>

#include <functional>
#include <memory>

namespace KeloPlatform {
class ScreenshotService;
}

// The capturer that fits the session: on X11 a region tool; under Wayland a region tool that
// sees Wayland windows where the desktop has one (Spectacle on KDE Plasma, slurp and grim on
// wlroots compositors), otherwise the desktop's screenshot portal (GNOME). Never a tool that
// would show Wayland windows black. `screenshots` must outlive the capturer.
[[nodiscard]] std::unique_ptr<ScreenCapturer> createScreenCapturer(
    KeloPlatform::ScreenshotService &screenshots,
    const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
    const std::function<QString(const QString &)> &findExecutable = {});
