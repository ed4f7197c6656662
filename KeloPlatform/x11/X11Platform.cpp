// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/null/NullServices.h"
#include "KeloPlatform/qt/QtClipboard.h"
#include "KeloPlatform/x11/X11Services.h"
#include "KeloPlatform/x11/XcbConnection.h"
#include "KeloPlatform/xdg/CanberraSoundPlayer.h"
#include "KeloPlatform/xdg/XdgAutostartLoginItem.h"

namespace KeloPlatform {

std::unique_ptr<Platform> createX11Platform()
{
    if (detail::qtXcbConnection() == nullptr) {
        return nullptr;
    }
    auto platform = std::make_unique<Platform>();
    platform->backend = QStringLiteral("x11");
    platform->windowSystem = createX11WindowSystem();
    platform->keyGrabber = createX11KeyGrabber();
    platform->keymapSource = createX11KeymapSource();
    platform->syntheticKeys = createX11SyntheticKeys();
    platform->loginItem = std::make_unique<XdgAutostartLoginItem>();
    platform->soundPlayer = std::make_unique<CanberraSoundPlayer>();
    platform->clipboard = std::make_unique<QtClipboard>();
    platform->screenshots = std::make_unique<NullScreenshotService>();
    platform->screenReader = createX11ScreenReader();
    platform->trayHost = std::make_unique<FixedTrayHost>(true);
    return platform;
}

} // namespace KeloPlatform
