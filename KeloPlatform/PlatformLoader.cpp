#include "KeloPlatform/Platform.h"
#include "KeloPlatform/null/NullServices.h"

#include <QGuiApplication>
#include <QLoggingCategory>

#ifdef KELO_HAVE_X11
#include "KeloPlatform/x11/X11Services.h"
#endif

namespace KeloPlatform {
namespace {

Q_LOGGING_CATEGORY(lcPlatform, "kelolens.platform")

const QString x11Name = QStringLiteral("x11");
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
#ifdef KELO_HAVE_X11
    return {x11Name, nullName};
#else
    return {nullName};
#endif
}

QString chooseBackend(const QProcessEnvironment &environment, const QString &qtPlatformName)
{
    const bool qtOnX11 = qtPlatformName == u"xcb";
    const QString forced = environment.value(QString::fromLatin1(backendVariable)).toLower();
    if (availableBackends().contains(forced)) {
        // X11 services share Qt's connection: without one they could not even start.
        return forced == x11Name && !qtOnX11 ? nullName : forced;
    }
    // Under Wayland, X11 services only reach other X11 clients (XWayland); until a portal backend
    // exists they are still the best there is when Qt itself runs through XWayland.
    const bool hasX11Display = !environment.value(QStringLiteral("DISPLAY")).isEmpty() ||
                               environment.value(QStringLiteral("XDG_SESSION_TYPE")) == u"x11";
    if (qtOnX11 && hasX11Display && availableBackends().contains(x11Name)) {
        return x11Name;
    }
    return nullName;
}

std::unique_ptr<Platform> createPlatform(const QString &backend)
{
#ifdef KELO_HAVE_X11
    if (backend == x11Name) {
        if (auto platform = createX11Platform()) {
            return platform;
        }
    }
#endif
    return createNullPlatform();
}

std::unique_ptr<Platform> loadPlatform(const QProcessEnvironment &environment)
{
    const QString qtPlatform = qGuiApp != nullptr ? QGuiApplication::platformName() : QString();
    const QString chosen = chooseBackend(environment, qtPlatform);
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
