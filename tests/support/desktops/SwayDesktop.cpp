// SPDX-License-Identifier: GPL-3.0-or-later
// sway 1.7 on wlroots' headless back end (software rendering, no input devices) with XWayland,
// xdg-desktop-portal-wlr with pipewire on the session bus, waybar as the tray, the real grim,
// and a stand-in slurp that prints a fixed region: a drag cannot be made on a compositor without
// input devices. Keys go through the virtual keyboard protocol. sway refuses to run as
// root: under root it runs as "nobody", and lets root into its XWayland.

#include "support/TestSupport.h"
#include "support/desktops/DesktopSession.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

namespace KeloTest {
namespace {

// Where the stand-in slurp says the user dragged, in the compositor's coordinates.
constexpr auto selectedRegion = "0,280 900x180";
constexpr uid_t nobody = 65534;

// setpriv's arguments to run the command as the compositor's user: "nobody" under root, else
// this process's own.
QStringList asCompositorUser(const QStringList &command)
{
    if (::geteuid() != 0) {
        return QStringList{QStringLiteral("--")} + command;
    }
    return QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                       QStringLiteral("--clear-groups"), QStringLiteral("--")} +
           command;
}

class SwayDesktop final : public DesktopSession
{
public:
    SwayDesktop() : DesktopSession(QStringLiteral("sway"), QStringLiteral("sway"))
    {
        if (!hasPrograms({"sway", "grim", "waybar", "pipewire", "wl-paste", "setpriv", "xhost"}) ||
            !writeStandInSlurp() || !startBus({QStringLiteral("wlr.portal")}) || !startSway()) {
            return;
        }
        // The screencast portal connects to pipewire when it starts, and waits for it.
        QProcess *pipewire =
            launch(QStringLiteral("pipewire"), QStringLiteral("pipewire"), {}, m_environment);
        if (!waitUntil([&] {
                return QFile::exists(runtimeFolder() + QStringLiteral("/pipewire-0")) ||
                       pipewire->state() == QProcess::NotRunning;
            }) ||
            pipewire->state() != QProcess::Running) {
            fail(QStringLiteral("pipewire did not start: ") + logTail(QStringLiteral("pipewire")));
            return;
        }
        // The screencast portal, started ahead of the portal front end: activated by the
        // front end's first call, it takes that call in while it asks for its name, and answers
        // it only when another message wakes it up, 25 s later when the call has timed out.
        launch(QStringLiteral("portal-wlr"), QStringLiteral("/usr/libexec/xdg-desktop-portal-wlr"),
               {}, m_environment);
        if (!waitForService(QStringLiteral("org.freedesktop.impl.portal.desktop.wlr"),
                            QStringLiteral("portal-wlr"))) {
            return;
        }
        // A keyboard for the seat from the start, so that windows can take the focus.
        if (startInput() && startPortal() && startBar()) {
            setReady();
        }
    }

    QImage screenshot() override { return screenshotWith(QStringLiteral("grim"), {}); }

private:
    // The compositor, in a runtime folder of its user; clients reach its sockets by full path.
    bool startSway()
    {
        const bool isRoot = ::geteuid() == 0;
        const QString swayRuntime = folder() + QStringLiteral("/sway");
        QDir().mkpath(swayRuntime);
        const QString config = swayRuntime + QStringLiteral("/sway.conf");
        QFile file(config);
        // XWayland at once, not at the first X client, so that its display is known now.
        if (!file.open(QIODevice::WriteOnly) ||
            file.write("xwayland force\noutput HEADLESS-1 resolution 1280x720\n") < 0) {
            fail(QStringLiteral("cannot write the sway configuration"));
            return false;
        }
        file.close();
        if (isRoot && (::chown(qPrintable(swayRuntime), nobody, nobody) != 0 ||
                       ::chown(qPrintable(config), nobody, nobody) != 0)) {
            fail(QStringLiteral("cannot hand sway's runtime folder to nobody"));
            return false;
        }
        QFile::setPermissions(swayRuntime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcessEnvironment swayEnvironment;
        swayEnvironment.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
        swayEnvironment.insert(QStringLiteral("HOME"), swayRuntime);
        swayEnvironment.insert(QStringLiteral("XDG_RUNTIME_DIR"), swayRuntime);
        swayEnvironment.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
        swayEnvironment.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
        swayEnvironment.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
        const QProcess *sway =
            launch(QStringLiteral("sway"), QStringLiteral("setpriv"),
                   asCompositorUser({QStringLiteral("sway"), QStringLiteral("-c"), config}),
                   swayEnvironment);
        if (!useDisplays(*sway, swayRuntime)) {
            return false;
        }
        const QStringList ipc =
            QDir(swayRuntime).entryList({QStringLiteral("sway-ipc.*")}, QDir::System | QDir::Files);
        if (!ipc.isEmpty()) {
            m_environment.insert(QStringLiteral("SWAYSOCK"), swayRuntime + u'/' + ipc.first());
        }
        // XWayland admits only the compositor's user, who lets root, running the tests, in.
        swayEnvironment.insert(QStringLiteral("DISPLAY"),
                               m_environment.value(QStringLiteral("DISPLAY")));
        if (isRoot &&
            !run(QStringLiteral("setpriv"),
                 asCompositorUser({QStringLiteral("xhost"), QStringLiteral("+si:localuser:root")}),
                 std::chrono::seconds(20), swayEnvironment)) {
            fail(QStringLiteral("cannot let root into XWayland"));
            return false;
        }
        return true;
    }

    bool writeStandInSlurp()
    {
        const QString bin = folder() + QStringLiteral("/bin");
        QDir().mkpath(bin);
        QFile slurp(bin + QStringLiteral("/slurp"));
        if (!slurp.open(QIODevice::WriteOnly) ||
            slurp.write(QByteArray("#!/bin/sh\necho '") + selectedRegion + "'\n") < 0) {
            fail(QStringLiteral("cannot write the stand-in slurp"));
            return false;
        }
        slurp.close();
        slurp.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                             QFile::ReadOther | QFile::ExeOther);
        m_environment.insert(QStringLiteral("PATH"),
                             bin + u':' + m_environment.value(QStringLiteral("PATH")));
        return true;
    }
};

} // namespace

std::unique_ptr<DesktopSession> startSway()
{
    return std::make_unique<SwayDesktop>();
}

} // namespace KeloTest
