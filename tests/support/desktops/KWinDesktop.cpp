// SPDX-License-Identifier: GPL-3.0-or-later
// KWin 5.27 on its virtual back end with XWayland, xdg-desktop-portal-kde (with kglobalaccel,
// which KWin hosts) on the session bus, the real spectacle, kded5, a status notifier watcher,
// and input through KWin's fake-input protocol: a small client that KWin admits because its
// desktop entry asks for the interface.

#include "support/TestSupport.h"
#include "support/desktops/DesktopSession.h"

#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace KeloTest {
namespace {

constexpr auto socketName = "kelo-kwin";

class KWinDesktop final : public DesktopSession
{
public:
    KWinDesktop() : DesktopSession(QStringLiteral("kwin"), QSize(1280, 720))
    {
        for (const char *program : {"kwin_wayland", "spectacle", "kded5", "wl-paste"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty()) {
                fail(QStringLiteral("%1 is not installed (make test-desktops installs it)")
                         .arg(QString::fromLatin1(program)));
                return;
            }
        }
        m_environment = QProcessEnvironment::systemEnvironment();
        m_environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder());
        m_environment.insert(QStringLiteral("HOME"), homeFolder());
        m_environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                             homeFolder() + QStringLiteral("/.config"));
        m_environment.insert(QStringLiteral("XDG_DATA_HOME"),
                             homeFolder() + QStringLiteral("/.local/share"));
        m_environment.insert(QStringLiteral("XDG_CACHE_HOME"),
                             homeFolder() + QStringLiteral("/.cache"));
        m_environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
        m_environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("KDE"));
        m_environment.insert(QStringLiteral("KDE_FULL_SESSION"), QStringLiteral("true"));
        m_environment.insert(QStringLiteral("KDE_SESSION_VERSION"), QStringLiteral("5"));
        m_environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        m_environment.remove(QStringLiteral("KELOLENS_PLATFORM"));
        m_environment.remove(QStringLiteral("DISPLAY"));
        m_environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        if (!allowFakeInput() || !startBus(m_environment, {QStringLiteral("kde.portal")})) {
            return;
        }
        QProcessEnvironment kwinEnvironment = m_environment;
        QProcess *kwin = launch(QStringLiteral("kwin"), kwinBinary(),
                                {QStringLiteral("--virtual"), QStringLiteral("--xwayland"),
                                 QStringLiteral("--socket"), QString::fromLatin1(socketName),
                                 QStringLiteral("--width"), QStringLiteral("1280"),
                                 QStringLiteral("--height"), QStringLiteral("720")},
                                kwinEnvironment);
        if (!waitForSocket(QString::fromLatin1(socketName), *kwin, std::chrono::seconds(30))) {
            fail(QStringLiteral("kwin_wayland made no Wayland socket: ") +
                 logTail(QStringLiteral("kwin")));
            return;
        }
        const XServer xServer = xServerOfChild(kwin->processId(), std::chrono::seconds(20));
        if (xServer.display.isEmpty()) {
            fail(QStringLiteral("kwin_wayland started no XWayland: ") +
                 logTail(QStringLiteral("kwin")));
            return;
        }
        m_environment.insert(QStringLiteral("WAYLAND_DISPLAY"), QString::fromLatin1(socketName));
        useXServer(xServer);
        QProcessEnvironment displays;
        for (const char *name :
             {"WAYLAND_DISPLAY", "DISPLAY", "XAUTHORITY", "XDG_CURRENT_DESKTOP"}) {
            displays.insert(QString::fromLatin1(name),
                            m_environment.value(QString::fromLatin1(name)));
        }
        displays.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        if (!updateActivationEnvironment(displays) || !startUserManager()) {
            return;
        }
        // kded5 brings the desktop's background services; the watcher stands in for the
        // panel's.
        launch(QStringLiteral("kded5"), QStringLiteral("kded5"), {}, m_environment);
        launch(QStringLiteral("watcher"), helper(QStringLiteral("kelo-test-sni-watcher")), {},
               m_environment);
        if (!waitUntil(
                [&] {
                    return bus().interface()->isServiceRegistered(
                        QStringLiteral("org.kde.StatusNotifierWatcher"));
                },
                std::chrono::seconds(10))) {
            fail(QStringLiteral("no status notifier watcher: ") +
                 logTail(QStringLiteral("watcher")));
            return;
        }
        m_input.setProcessEnvironment(m_environment);
        m_input.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_input.start(helper(QStringLiteral("kelo-test-fake-input")), {});
        if (!m_input.waitForReadyRead(10000) || !m_input.readLine().startsWith("ready")) {
            fail(QStringLiteral("KWin refused the fake input client"));
            return;
        }
        setReady();
    }

    ~KWinDesktop() override
    {
        m_input.closeWriteChannel();
        if (!m_input.waitForFinished(2000)) {
            m_input.kill();
            m_input.waitForFinished();
        }
    }

    [[nodiscard]] bool hasGlobalShortcuts() const override { return true; }

    bool pressKeys(const QString &keys) override { return send("keys " + keys.toUtf8()); }

    bool click(QPoint at) override
    {
        return send(QByteArray("click ") + QByteArray::number(at.x()) + ' ' +
                    QByteArray::number(at.y()));
    }

    bool drag(QPoint from, QPoint to) override
    {
        return send(QByteArray("drag ") + QByteArray::number(from.x()) + ' ' +
                    QByteArray::number(from.y()) + ' ' + QByteArray::number(to.x()) + ' ' +
                    QByteArray::number(to.y()));
    }

    QImage screenshot() override
    {
        const QString file = folder() + QStringLiteral("/screen.png");
        QFile::remove(file);
        run(QStringLiteral("spectacle"),
            {QStringLiteral("-b"), QStringLiteral("-n"), QStringLiteral("-f"), QStringLiteral("-o"),
             file},
            std::chrono::seconds(20));
        return QImage(file);
    }

private:
    static QString helper(const QString &name)
    {
        return QStringLiteral(KELO_TEST_BINARY_DIR "/tests/desktops/") + name;
    }

    // KWin admits a client to a restricted protocol when a desktop entry whose Exec names the
    // client's program asks for it.
    bool allowFakeInput()
    {
        const QString applications = homeFolder() + QStringLiteral("/.local/share/applications");
        QDir().mkpath(applications);
        QFile entry(applications + QStringLiteral("/kelo-test-fake-input.desktop"));
        const QByteArray text = "[Desktop Entry]\nType=Application\nName=KeloLens test input\n"
                                "Exec=" +
                                helper(QStringLiteral("kelo-test-fake-input")).toUtf8() +
                                "\nNoDisplay=true\n"
                                "X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n";
        if (!entry.open(QIODevice::WriteOnly) || entry.write(text) != text.size()) {
            fail(QStringLiteral("cannot write the fake input client's desktop entry"));
            return false;
        }
        return true;
    }

    // The installed kwin_wayland carries a file capability (CAP_SYS_RESOURCE) that a container
    // refuses to grant, and then it cannot even be started. A copy carries none. KWin uses its
    // own Qt platform plugin only in a program named kwin_wayland, so the copy keeps the name.
    QString kwinBinary()
    {
        const QString installed = QStandardPaths::findExecutable(QStringLiteral("kwin_wayland"));
        QProcess probe;
        probe.start(installed, {QStringLiteral("--version")});
        if (probe.waitForFinished(10000) && probe.exitCode() == 0) {
            return installed;
        }
        const QString copy = folder() + QStringLiteral("/kwin/kwin_wayland");
        QDir().mkpath(folder() + QStringLiteral("/kwin"));
        QFile::copy(installed, copy);
        return copy;
    }

    bool send(const QByteArray &command)
    {
        if (m_input.state() != QProcess::Running) {
            return false;
        }
        m_input.write(command + '\n');
        // The client answers once the compositor has the events.
        return waitUntil([&] { return m_input.canReadLine(); }, std::chrono::seconds(10)) &&
               m_input.readLine().startsWith("done");
    }

    QProcess m_input;
};

} // namespace

std::unique_ptr<DesktopSession> startKWin()
{
    return std::make_unique<KWinDesktop>();
}

} // namespace KeloTest
