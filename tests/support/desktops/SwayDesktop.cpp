// SPDX-License-Identifier: GPL-3.0-or-later
// sway 1.7, headless: the compositor of WaylandSession with XWayland, xdg-desktop-portal-wlr with
// pipewire on the session bus, waybar as the tray (it owns the StatusNotifierWatcher), the real
// grim, and a stand-in slurp that prints a fixed region: a drag cannot be made on a compositor
// without input devices. Keys go through the virtual keyboard protocol (wtype).

#include "support/TestSupport.h"
#include "support/WaylandSession.h"
#include "support/desktops/DesktopSession.h"

#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace KeloTest {
namespace {

// Where the stand-in slurp says the user dragged, in the compositor's coordinates.
constexpr auto selectedRegion = "0,280 900x180";

class SwayDesktop final : public DesktopSession
{
public:
    SwayDesktop() : DesktopSession(QStringLiteral("sway"), QSize(1280, 720)), m_sway(true)
    {
        for (const char *program : {"grim", "waybar", "wtype", "pipewire", "wl-paste"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty()) {
                fail(QStringLiteral("%1 is not installed (make test-desktops installs it)")
                         .arg(QString::fromLatin1(program)));
                return;
            }
        }
        if (!m_sway.isReady()) {
            fail(m_sway.problem());
            return;
        }
        // The socket by its full path: clients need no runtime folder of the compositor's user.
        const QProcessEnvironment swayEnvironment = m_sway.environment();
        m_environment = QProcessEnvironment::systemEnvironment();
        m_environment.insert(QStringLiteral("WAYLAND_DISPLAY"),
                             m_sway.runtimeFolder() + u'/' + m_sway.display());
        m_environment.insert(QStringLiteral("DISPLAY"),
                             swayEnvironment.value(QStringLiteral("DISPLAY")));
        m_environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder());
        m_environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
        m_environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("sway"));
        m_environment.insert(QStringLiteral("SWAYSOCK"), swaySocket());
        m_environment.insert(QStringLiteral("HOME"), homeFolder());
        m_environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                             homeFolder() + QStringLiteral("/.config"));
        m_environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        m_environment.remove(QStringLiteral("KELOLENS_PLATFORM"));
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
        if (!m_sway.addKeyboard()) {
            fail(QStringLiteral("sway took no virtual keyboard"));
            return;
        }
        if (!startBar()) {
            return;
        }
        setReady();
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
    [[nodiscard]] QString swaySocket() const
    {
        const QStringList sockets =
            QDir(m_sway.runtimeFolder())
                .entryList({QStringLiteral("sway-ipc.*")},
                           QDir::System | QDir::Files | QDir::NoDotAndDotDot);
        return sockets.isEmpty() ? QString() : m_sway.runtimeFolder() + u'/' + sockets.first();
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

    WaylandSession m_sway;
};

} // namespace

std::unique_ptr<DesktopSession> startSway()
{
    return std::make_unique<SwayDesktop>();
}

} // namespace KeloTest
