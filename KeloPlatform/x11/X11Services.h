// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Private to the platform layer: the X11 backend's services, each talking to the X server over
// Qt's own connection. They need Qt to run on X11 (the "xcb" platform).

#include "KeloPlatform/Platform.h"

#include <QRect>

#include <memory>

namespace KeloPlatform {

[[nodiscard]] std::unique_ptr<WindowSystem> createX11WindowSystem();
[[nodiscard]] std::unique_ptr<KeyGrabber> createX11KeyGrabber();
[[nodiscard]] std::unique_ptr<KeymapSource> createX11KeymapSource();
[[nodiscard]] std::unique_ptr<SyntheticKeys> createX11SyntheticKeys();
[[nodiscard]] std::unique_ptr<ScreenReader> createX11ScreenReader();

// The input shape of an X window (an extension every X server of our time has, XWayland's too).
void setX11InputRegion(uint32_t window, const QRect &region);

// The whole X11 set; absent when Qt has no X11 connection.
[[nodiscard]] std::unique_ptr<Platform> createX11Platform();

} // namespace KeloPlatform
