// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloPlatform/Clipboard.h"
#include "KeloPlatform/KeyGrabber.h"
#include "KeloPlatform/KeymapSource.h"
#include "KeloPlatform/LoginItem.h"
#include "KeloPlatform/PackageInstaller.h"
#include "KeloPlatform/ScreenReader.h"
#include "KeloPlatform/ScreenshotService.h"
#include "KeloPlatform/SoundPlayer.h"
#include "KeloPlatform/SyntheticKeys.h"
#include "KeloPlatform/TrayHost.h"
#include "KeloPlatform/WindowSystem.h"

#include <QProcessEnvironment>
#include <QString>

#include <memory>

namespace KeloPlatform {

// Every operating-system service the application uses, from one backend. The owner keeps the set
// for the life of the process and hands each module the services it needs.
struct Platform
{
    // "x11", "portal" or "null": which backend made the set.
    QString backend;
    std::unique_ptr<WindowSystem> windowSystem;
    std::unique_ptr<KeyGrabber> keyGrabber;
    std::unique_ptr<KeymapSource> keymapSource;
    std::unique_ptr<SyntheticKeys> syntheticKeys;
    std::unique_ptr<LoginItem> loginItem;
    std::unique_ptr<SoundPlayer> soundPlayer;
    std::unique_ptr<Clipboard> clipboard;
    // The desktop's interactive screenshot service; X11 sets have none that works (they use a
    // region tool instead) and say so through isAvailable().
    std::unique_ptr<ScreenshotService> screenshots;
    // Reads the whole screen into memory, for our own selection; says through canRead() where the
    // session does not allow it. It may use the screenshot service: declared after it, it goes
    // first.
    std::unique_ptr<ScreenReader> screenReader;
    std::unique_ptr<TrayHost> trayHost;
    // The system's package service (PackageKit), whatever the session; sets without one say so
    // through isAvailable().
    std::unique_ptr<PackageInstaller> packageInstaller;
};

// The environment variable that overrides the choice ("x11", "portal" or "null"), for tests and
// bug reports.
inline constexpr auto backendVariable = "KELOLENS_PLATFORM";

// Whether the session is a Wayland one (WAYLAND_DISPLAY set, or XDG_SESSION_TYPE "wayland"),
// whatever Qt itself runs on.
[[nodiscard]] bool isWaylandSession(const QProcessEnvironment &environment);

// Which backend fits the session: the override when it names a backend this build has, else the
// session type. A Wayland session gets the portal set even when Qt runs through XWayland: there
// X11 cannot grab keys, send keys to Wayland windows or read their pixels. X11 services need Qt
// itself to run on X11 (`qtPlatformName` "xcb"), since they share its connection; otherwise the
// null set.
[[nodiscard]] QString chooseBackend(const QProcessEnvironment &environment,
                                    const QString &qtPlatformName);

// The Qt platform plugin the interface should use in this session, to be set (QT_QPA_PLATFORM)
// before the application object exists: "xcb" in a Wayland session that offers XWayland, so that
// the panel can be kept above other windows and placed next to the selection where the
// compositor allows it; "wayland" in one without; empty (Qt's own choice) elsewhere or when the
// user set QT_QPA_PLATFORM.
[[nodiscard]] QString preferredQtPlatform(const QProcessEnvironment &environment);

// Builds the set for this process, once, after the application object exists, and says in one
// log line which backend it chose and why.
[[nodiscard]] std::unique_ptr<Platform>
loadPlatform(const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());

// The set of one backend; "null" for a name this build does not have. Exposed for tests.
[[nodiscard]] std::unique_ptr<Platform> createPlatform(const QString &backend);

// The backends this build has, in order of preference.
[[nodiscard]] QStringList availableBackends();

} // namespace KeloPlatform
