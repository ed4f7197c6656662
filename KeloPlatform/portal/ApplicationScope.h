// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Private to the platform layer: running under the application's own id.

#include <QDBusConnection>
#include <QString>

namespace KeloPlatform::portal {

// The id the desktop knows the application by: the name of its desktop entry.
inline constexpr auto applicationId = "app.kelolens.KeloLens";

// The desktop portals know an application that runs outside a sandbox by the systemd unit it
// runs in ("app-<id>-<random>.scope", where desktops launch applications). Started from a
// terminal, a script or an autostart entry, KeloLens is in no such unit: the portals then know
// it by no id at all, and the desktop keeps nothing for it (KDE binds its shortcut to nothing
// and asks for the paste permission again at every start). So, unless it already runs in an
// application's unit, the process moves itself into a scope of its own through the user's
// systemd. Where there is none, it says once what the user loses. Call before any portal call.
// Returns the unit the process runs in, empty when none.
QString joinApplicationScope(const QDBusConnection &bus);

} // namespace KeloPlatform::portal
