#pragma once

#include "KeloPlatform/KeyGrabber.h"
#include "KeloPlatform/KeymapSource.h"
#include "KeloPlatform/LoginItem.h"
#include "KeloPlatform/SoundPlayer.h"
#include "KeloPlatform/SyntheticKeys.h"
#include "KeloPlatform/WindowSystem.h"

#include <QProcessEnvironment>
#include <QString>
#include <memory>

namespace KeloPlatform {

// Every operating-system service the application uses, from one backend. The owner keeps the set
// for the life of the process and hands each module the services it needs.
struct Platform
{
    // "x11" or "null": which backend made the set.
    QString backend;
    std::unique_ptr<WindowSystem> windowSystem;
    std::unique_ptr<KeyGrabber> keyGrabber;
    std::unique_ptr<KeymapSource> keymapSource;
    std::unique_ptr<SyntheticKeys> syntheticKeys;
    std::unique_ptr<LoginItem> loginItem;
    std::unique_ptr<SoundPlayer> soundPlayer;
};

// The environment variable that overrides the choice ("x11" or "null"), for tests and bug reports.
inline constexpr auto backendVariable = "KELOLENS_PLATFORM";

// Which backend fits the session: the override when it names a backend this build has, else the
// session type (XDG_SESSION_TYPE, WAYLAND_DISPLAY, DISPLAY). X11 services need Qt itself to run on
// X11 (`qtPlatformName` "xcb"), since they share its connection; otherwise the null set.
[[nodiscard]] QString chooseBackend(const QProcessEnvironment &environment,
                                    const QString &qtPlatformName);

// Builds the set for this process, once, after the application object exists, and says in one
// log line which backend it chose and why.
[[nodiscard]] std::unique_ptr<Platform>
loadPlatform(const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());

// The set of one backend; "null" for a name this build does not have. Exposed for tests.
[[nodiscard]] std::unique_ptr<Platform> createPlatform(const QString &backend);

// The backends this build has, in order of preference.
[[nodiscard]] QStringList availableBackends();

} // namespace KeloPlatform
