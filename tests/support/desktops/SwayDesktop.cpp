// SPDX-License-Identifier: GPL-3.0-or-later
// sway 1.7 on wlroots' headless back end (software rendering, no input devices) with XWayland,
// xdg-desktop-portal-wlr with pipewire on the session bus, waybar as the tray (it owns the
// StatusNotifierWatcher), the real grim, and a stand-in slurp that prints a fixed region: a drag
// cannot be made on a compositor without input devices. Keys go through the virtual keyboard
// protocol (wtype). sway refuses to run as root: under root it runs as "nobody", and lets root
// into its XWayland.

#include "support/TestSupport.h"
#include "support/desktops/DesktopSession.h"

#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <unistd.h>

namespace KeloTest {
namespace {

// Where the stand-in slurp says the user dragged, in the compositor's coordinates.
constexpr auto selectedRegion = "0,280 900x180";
constexpr uid_t nobody = 65534;

class SwayDesktop final : public DesktopSession
{
public:
    SwayDesktop() : DesktopSession(QStringLiteral("sway"), QSize(1280, 720))
    {
        for (const char *program :
             {"sway", "grim", "waybar", "wtype", "pipewire", "wl-paste", "setpriv", "xhost"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty()) {
                fail(QStringLiteral("%1 is not installed (make test-desktops installs it)")
                         .arg(QString::fromLatin1(program)));
                return;
            }
        }
        m_environment = QProcessEnvironment::systemEnvironment();
        m_environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder());
        m_environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
        m_environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("sway"));
        m_environment.insert(QStringLiteral("HOME"), homeFolder());
        m_environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                             homeFolder() + QStringLiteral("/.config"));
        m_environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        m_environment.remove(QStringLiteral("KELOLENS_PLATFORM"));
        if (!startSway()) {
            return;
        }
        if (!writeStandInSlurp()) {
            return;
        }
        if (!startBus(m_environment, {QStringLiteral("wlr.portal")})) {
            return;
        }
        // The screencast portal connects to pipewire when it starts, and waits for it.
        QProcess *pipewire =
            launch(QStringLiteral("pipewire"), QStringLiteral("pipewire"), {}, m_environment);
        if (!waitForSocket(QStringLiteral("pipewire-0"), *pipewire, std::chrono::seconds(10))) {
            fail(QStringLiteral("pipewire did not start: ") + logTail(QStringLiteral("pipewire")));
            return;
        }
        // A keyboard for the seat from the start: wtype's own comes and goes with each key, too
        // briefly for XWayland to take it up.
        m_keyboard.setProcessEnvironment(m_environment);
        m_keyboard.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_keyboard.start(
            QStringLiteral(KELO_TEST_BINARY_DIR "/tests/desktops/kelo-test-virtual-keyboard"), {});
        if (!m_keyboard.waitForReadyRead(5000) || !m_keyboard.readLine().startsWith("ready")) {
            fail(QStringLiteral("sway took no virtual keyboard"));
            return;
        }
        if (!startBar()) {
            return;
        }
        setReady();
    }

    ~SwayDesktop() override
    {
        // The keyboard goes when its standard input closes.
        m_keyboard.closeWriteChannel();
        if (!m_keyboard.waitForFinished(2000)) {
            m_keyboard.kill();
            m_keyboard.waitForFinished();
        }
    }

    bool pressKeys(const QString &keys) override
    {
        QStringList arguments;
        QStringList parts = keys.split(u'+');
        const QString key = parts.takeLast();
        for (const QString &modifier : parts) {
            arguments << QStringLiteral("-M") << modifier.toLower();
        }
        arguments << QStringLiteral("-k") << key;
        for (const QString &modifier : parts) {
            arguments << QStringLiteral("-m") << modifier.toLower();
        }
        QProcess wtype;
        wtype.setProcessEnvironment(m_environment);
        wtype.start(QStringLiteral("wtype"), arguments);
        return waitUntil([&] { return wtype.state() == QProcess::NotRunning; }) &&
               wtype.exitCode() == 0;
    }

    bool click(QPoint) override
    {
        // No pointer device: sway's headless seat has none.
        return false;
    }

    bool drag(QPoint, QPoint) override { return false; }

    QImage screenshot() override
    {
        const QString file = folder() + QStringLiteral("/screen.png");
        QFile::remove(file);
        run(QStringLiteral("grim"), {file});
        return QImage(file);
    }

private:
    // The compositor, as "nobody" under root, in a runtime folder of that user; clients reach
    // its sockets by their full paths.
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
        QProcess *sway =
            launch(QStringLiteral("sway"), QStringLiteral("setpriv"),
                   asCompositorUser({QStringLiteral("sway"), QStringLiteral("-c"), config}),
                   swayEnvironment);
        QString socket;
        waitUntil(
            [&] {
                const QStringList found =
                    QDir(swayRuntime)
                        .entryList({QStringLiteral("wayland-*")},
                                   QDir::System | QDir::Files | QDir::NoDotAndDotDot);
                for (const QString &name : found) {
                    if (!name.endsWith(QStringLiteral(".lock"))) {
                        socket = name;
                    }
                }
                return !socket.isEmpty() || sway->state() == QProcess::NotRunning;
            },
            std::chrono::seconds(10));
        if (socket.isEmpty()) {
            fail(QStringLiteral("sway made no Wayland socket: ") + logTail(QStringLiteral("sway")));
            return false;
        }
        const XServer xServer = xServerOfChild(sway->processId(), std::chrono::seconds(10));
        if (xServer.display.isEmpty()) {
            fail(QStringLiteral("sway started no XWayland: ") + logTail(QStringLiteral("sway")));
            return false;
        }
        m_environment.insert(QStringLiteral("WAYLAND_DISPLAY"), swayRuntime + u'/' + socket);
        useXServer(xServer);
        const QStringList ipc = QDir(swayRuntime)
                                    .entryList({QStringLiteral("sway-ipc.*")},
                                               QDir::System | QDir::Files | QDir::NoDotAndDotDot);
        if (!ipc.isEmpty()) {
            m_environment.insert(QStringLiteral("SWAYSOCK"), swayRuntime + u'/' + ipc.first());
        }
        // XWayland admits only the compositor's user: it lets root, running the tests, in.
        if (isRoot) {
            QProcessEnvironment xEnvironment = swayEnvironment;
            xEnvironment.insert(QStringLiteral("DISPLAY"), xServer.display);
            QProcess xhost;
            xhost.setProcessEnvironment(xEnvironment);
            xhost.start(
                QStringLiteral("setpriv"),
                asCompositorUser({QStringLiteral("xhost"), QStringLiteral("+si:localuser:root")}));
            if (!xhost.waitForFinished(20000) || xhost.exitCode() != 0) {
                fail(QStringLiteral("cannot let root into XWayland: ") +
                     QString::fromUtf8(xhost.readAllStandardError()));
                return false;
            }
        }
        return true;
    }

    // setpriv's arguments to run the command as the compositor's user: "nobody" under root, else
    // this process's own (setpriv then changes nothing).
    static QStringList asCompositorUser(const QStringList &command)
    {
        if (::geteuid() != 0) {
            return QStringList{QStringLiteral("--")} + command;
        }
        return QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                           QStringLiteral("--clear-groups"), QStringLiteral("--")} +
               command;
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

    // A bar with only a tray: it owns the watcher and hosts the items, as on a user's sway.
    bool startBar()
    {
        const QString config = homeFolder() + QStringLiteral("/waybar.json");
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(R"({"layer": "top", "position": "top", "height": 26,
                           "modules-right": ["tray"], "tray": {"spacing": 4}})") < 0) {
            fail(QStringLiteral("cannot write the waybar configuration"));
            return false;
        }
        file.close();
        QFile style(homeFolder() + QStringLiteral("/waybar.css"));
        style.open(QIODevice::WriteOnly);
        style.write("* { font-family: DejaVu Sans; font-size: 12px; }\n");
        style.close();
        // Without the accessibility bus, which GTK otherwise starts. (xdg-desktop-portal 1.16 on
        // a fresh bus now and then answers only when D-Bus gives up on it, after 25 s; the bar
        // waits for it at its start, and so does this start then.)
        QProcessEnvironment barEnvironment = m_environment;
        barEnvironment.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
        barEnvironment.insert(QStringLiteral("GTK_A11Y"), QStringLiteral("none"));
        launch(QStringLiteral("waybar"), QStringLiteral("waybar"),
               {QStringLiteral("-c"), config, QStringLiteral("-s"), style.fileName()},
               barEnvironment);
        const bool hasWatcher = waitUntil(
            [&] {
                return bus().interface()->isServiceRegistered(
                    QStringLiteral("org.kde.StatusNotifierWatcher"));
            },
            std::chrono::seconds(30));
        if (!hasWatcher) {
            fail(QStringLiteral("waybar registered no StatusNotifierWatcher: ") +
                 logTail(QStringLiteral("waybar")));
            return false;
        }
        return true;
    }

    QProcess m_keyboard;
};

} // namespace

std::unique_ptr<DesktopSession> startSway()
{
    return std::make_unique<SwayDesktop>();
}

} // namespace KeloTest
