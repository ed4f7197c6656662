// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/null/NullServices.h"
#include "KeloPlatform/portal/PortalKeyGrabber.h"
#include "KeloPlatform/portal/PortalScreenReader.h"
#include "KeloPlatform/portal/PortalScreenshotService.h"
#include "KeloPlatform/portal/PortalServices.h"
#include "KeloPlatform/portal/PortalSyntheticKeys.h"
#include "KeloPlatform/qt/QtClipboard.h"
#include "KeloPlatform/wayland/GrimScreenReader.h"
#include "KeloPlatform/wayland/KWinScreenReader.h"
#include "KeloPlatform/wayland/WaylandClipboard.h"
#include "KeloPlatform/xdg/CanberraSoundPlayer.h"
#include "KeloPlatform/xdg/StatusNotifierTrayHost.h"
#include "KeloPlatform/xdg/XdgAutostartLoginItem.h"

#include <QLoggingCategory>

#ifdef KELO_HAVE_X11
#include "KeloPlatform/x11/X11Services.h"
#include "KeloPlatform/x11/XcbConnection.h"
#endif

namespace KeloPlatform {
namespace {

Q_LOGGING_CATEGORY(lcPortal, "kelolens.platform.portal")

std::unique_ptr<KeymapSource> sessionKeymapSource()
{
#ifdef KELO_HAVE_X11
    // XWayland mirrors the compositor's layout.
    if (detail::qtXcbConnection() != nullptr) {
        return createX11KeymapSource();
    }
#endif
    return std::make_unique<NullKeymapSource>();
}

// How the screen is read: KWin's own interface on KDE Plasma, the Screenshot portal without a
// selection on GNOME (where the user allows it), the compositor's screencopy protocol (grim) on
// wlroots compositors.
std::unique_ptr<ScreenReader> sessionScreenReader(const QDBusConnection &bus,
                                                  PortalScreenshotService &screenshots)
{
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QStringList desktops =
        environment.value(QStringLiteral("XDG_CURRENT_DESKTOP")).split(u':', Qt::SkipEmptyParts);
    if (desktops.contains(QStringLiteral("KDE"), Qt::CaseInsensitive)) {
        return createKWinScreenReader(bus, environment.value(QStringLiteral("WAYLAND_DISPLAY")));
    }
    if (desktops.contains(QStringLiteral("GNOME"), Qt::CaseInsensitive)) {
        return createPortalScreenReader(screenshots,
                                        environment.value(QStringLiteral("WAYLAND_DISPLAY")));
    }
    return createGrimScreenReader(environment);
}

} // namespace

std::optional<RunningApplication> PortalWindowSystem::frontmostApplication() const
{
    return std::nullopt;
}

bool PortalWindowSystem::activate(const RunningApplication &)
{
    return false;
}

std::optional<WindowClass> PortalWindowSystem::windowClass(const RunningApplication &) const
{
    return std::nullopt;
}

bool PortalWindowSystem::isCompositing() const
{
    return true;
}

void PortalWindowSystem::setInputRegion(uint32_t windowId, const QRect &region)
{
#ifdef KELO_HAVE_X11
    setX11InputRegion(windowId, region);
#else
    (void)windowId;
    (void)region;
#endif
}

std::unique_ptr<Platform> createPortalPlatform(const QDBusConnection &bus)
{
    auto platform = std::make_unique<Platform>();
    platform->backend = QStringLiteral("portal");
    platform->windowSystem = std::make_unique<PortalWindowSystem>();
    platform->keymapSource = sessionKeymapSource();
    platform->keyGrabber = std::make_unique<PortalKeyGrabber>(bus, platform->keymapSource.get());
    platform->syntheticKeys = std::make_unique<PortalSyntheticKeys>(bus);
    platform->loginItem = std::make_unique<XdgAutostartLoginItem>();
    platform->soundPlayer = std::make_unique<CanberraSoundPlayer>();
    if (auto clipboard = WaylandClipboard::connect()) {
        platform->clipboard = std::move(clipboard);
    } else {
        qCWarning(lcPortal).noquote() << QStringLiteral(
            "KeloLens: no Wayland connection for the clipboard; it works only while a window of "
            "KeloLens has the focus");
        platform->clipboard = std::make_unique<QtClipboard>();
    }
    auto screenshots = std::make_unique<PortalScreenshotService>(bus);
    platform->screenReader = sessionScreenReader(bus, *screenshots);
    platform->screenshots = std::move(screenshots);
    platform->trayHost = std::make_unique<StatusNotifierTrayHost>(bus);
    return platform;
}

} // namespace KeloPlatform
