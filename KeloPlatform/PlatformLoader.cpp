// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/Platform.h"
#include "KeloPlatform/null/NullServices.h"

#include <QGuiApplication>
#include <QLoggingCategory>

#ifdef KELO_HAVE_X11
#include "KeloPlatform/x11/X11Services.h"
#endif
#ifdef KELO_HAVE_PORTAL
#include "KeloPlatform/portal/ApplicationScope.h"
#include "KeloPlatform/portal/PortalServices.h"
#include "KeloPlatform/xdg/PackageKitInstaller.h"
#endif

namespace KeloPlatform {
namespace {

Q_LOGGING_CATEGORY(lcPlatform, "kelolens.platform")

const QString x11Name = QStringLiteral("x11");
const QString portalName = QStringLiteral("portal");
const QString nullName = QStringLiteral("null");

// Why the session looks the way it does, for the log line.
QString sessionDescription(const QProcessEnvironment &environment)
{
    QStringList parts;
    for (const char *name : {"XDG_SESSION_TYPE", "WAYLAND_DISPLAY", "DISPLAY"}) {
        const QString value = environment.value(QString::fromLatin1(name));
        if (!value.isEmpty()) {
            parts << QString::fromLatin1(name) + u'=' + value;
        }
    }
    return parts.isEmpty() ? QStringLiteral("no desktop session") : parts.join(u' ');
}

} // namespace

QStringList availableBackends()
{
    QStringList backends;
#ifdef KELO_HAVE_X11
    backends << x11Name;
#endif
#ifdef KELO_HAVE_PORTAL
    backends << portalName;
#endif
    backends << nullName;
    return backends;
}

bool isWaylandSession(const QProcessEnvironment &environment)
{
    return !environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty() ||
           environment.value(QStringLiteral("XDG_SESSION_TYPE")).toLower() == u"wayland";
}

QString chooseBackend(const QProcessEnvironment &environment, const QString &qtPlatformName)
{
    const bool qtOnX11 = qtPlatformName == u"xcb";
    const QString forced = environment.value(QString::fromLatin1(backendVariable)).toLower();
    if (availableBackends().contains(forced)) {
        // X11 services share Qt's connection: without one they could not even start.
        return forced == x11Name && !qtOnX11 ? nullName : forced;
    }
    // Under Wayland, X11 services only reach other X11 clients (XWayland): keys grabbed there
    // arrive only while an X11 window has the focus, keys sent reach no Wayland window, and
    // screenshots show Wayland windows black. The portals do what X11 cannot there.
    if (isWaylandSession(environment) && availableBackends().contains(portalName)) {
        return portalName;
    }
    const bool hasX11Display = !environment.value(QStringLiteral("DISPLAY")).isEmpty() ||
                               environment.value(QStringLiteral("XDG_SESSION_TYPE")) == u"x11";
    if (qtOnX11 && hasX11Display && availableBackends().contains(x11Name)) {
        return x11Name;
    }
    return nullName;
}

QString preferredQtPlatform(const QProcessEnvironment &environment)
{
    if (!environment.value(QStringLiteral("QT_QPA_PLATFORM")).isEmpty() ||
        !isWaylandSession(environment)) {
        return {};
    }
    // Through XWayland the panel stays above other windows and may be placed by us (GNOME and
    // KDE honour the position; sway centres it). A native Wayland window can be neither.
    return environment.value(QStringLiteral("DISPLAY")).isEmpty() ? QStringLiteral("wayland")
                                                                  : QStringLiteral("xcb");
}

namespace {

std::unique_ptr<Platform> createSessionPlatform(const QString &backend)
{
#ifdef KELO_HAVE_X11
    if (backend == x11Name) {
        if (auto platform = createX11Platform()) {
            return platform;
        }
    }
#endif
#ifdef KELO_HAVE_PORTAL
    if (backend == portalName) {
        return createPortalPlatform(QDBusConnection::sessionBus());
    }
#endif
    return createNullPlatform();
}

} // namespace

std::unique_ptr<Platform> createPlatform(const QString &backend)
{
    std::unique_ptr<Platform> platform = createSessionPlatform(backend);
#ifdef KELO_HAVE_PORTAL
    // Packages are the system's business, the same in every session that has a desktop; the
    // null set has its own stand-in.
    if (!platform->packageInstaller) {
        platform->packageInstaller =
            std::make_unique<PackageKitInstaller>(QDBusConnection::systemBus());
    }
#endif
    if (!platform->packageInstaller) {
        platform->packageInstaller = std::make_unique<NullPackageInstaller>();
    }
    return platform;
}

std::unique_ptr<Platform> loadPlatform(const QProcessEnvironment &environment)
{
    const QString qtPlatform = qGuiApp != nullptr ? QGuiApplication::platformName() : QString();
    const QString chosen = chooseBackend(environment, qtPlatform);
#ifdef KELO_HAVE_PORTAL
    if (chosen == portalName) {
        // Before any portal call: the portals take the application's id at the first.
        portal::joinApplicationScope(QDBusConnection::sessionBus());
    }
#endif
    std::unique_ptr<Platform> platform = createPlatform(chosen);
    const QString forced = environment.value(QString::fromLatin1(backendVariable));
    qCInfo(lcPlatform).noquote()
        << QStringLiteral("KeloLens: platform backend %1 (%2, Qt platform %3%4)")
               .arg(platform->backend, sessionDescription(environment),
                    qtPlatform.isEmpty() ? QStringLiteral("none") : qtPlatform,
                    forced.isEmpty() ? QString()
                                     : QStringLiteral(", %1=%2").arg(
                                           QString::fromLatin1(backendVariable), forced));
    return platform;
}

#ifndef KELO_HAVE_X11
std::unique_ptr<KeymapSource> createNamedKeymapSource(const QString &, const QString &)
{
    return nullptr;
}
#endif

} // namespace KeloPlatform
