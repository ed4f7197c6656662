// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/WaylandSession.h"

#include "support/TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <unistd.h>

namespace KeloTest {
namespace {

constexpr uid_t nobody = 65534;

} // namespace

WaylandSession::WaylandSession(bool withXWayland)
{
    if (QStandardPaths::findExecutable(QStringLiteral("sway")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("wl-paste")).isEmpty()) {
        m_problem = QStringLiteral("sway or wl-clipboard is not installed (apt install sway "
                                   "wl-clipboard)");
        return;
    }
    const bool isRoot = ::geteuid() == 0;
    if (isRoot && QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty()) {
        m_problem = QStringLiteral("sway refuses root, and setpriv is missing to drop it");
        return;
    }
    // The compositor's user must reach its runtime folder and configuration.
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                            QFile::ReadOther | QFile::ExeOther | QFile::ReadGroup |
                                            QFile::ExeGroup);
    const QString runtime = runtimeFolder();
    QDir().mkpath(runtime);
    QFile config(runtime + QStringLiteral("/sway.conf"));
    if (!config.open(QIODevice::WriteOnly) ||
        config.write(withXWayland ? "xwayland enable\n" : "xwayland disable\n") < 0 ||
        config.write("output HEADLESS-1 resolution 1280x720\n") < 0) {
        m_problem = QStringLiteral("cannot write the sway configuration");
        return;
    }
    config.close();
    if (isRoot && (::chown(qPrintable(runtime), nobody, nobody) != 0 ||
                   ::chown(qPrintable(config.fileName()), nobody, nobody) != 0)) {
        m_problem = QStringLiteral("cannot hand the runtime folder to nobody");
        return;
    }
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
    environment.insert(QStringLiteral("HOME"), runtime);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    environment.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
    environment.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
    environment.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
    m_sway.setProcessEnvironment(environment);
    m_sway.setStandardOutputFile(m_dir.path() + QStringLiteral("/sway.log"));
    m_sway.setStandardErrorFile(m_dir.path() + QStringLiteral("/sway.log"));
    QStringList arguments{QStringLiteral("-c"), config.fileName()};
    const QDateTime started = QDateTime::currentDateTime().addSecs(-1);
    if (isRoot) {
        m_sway.start(QStringLiteral("setpriv"),
                     QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                 QStringLiteral("--clear-groups"), QStringLiteral("sway")} +
                         arguments);
    } else {
        m_sway.start(QStringLiteral("sway"), arguments);
    }
    const bool hasSocket = waitUntil(
        [&] {
            if (m_sway.state() == QProcess::NotRunning) {
                return true;
            }
            const QStringList sockets = QDir(runtime).entryList(
                {QStringLiteral("wayland-*")}, QDir::System | QDir::Files | QDir::NoDotAndDotDot);
            for (const QString &socket : sockets) {
                if (!socket.endsWith(QStringLiteral(".lock"))) {
                    m_display = socket;
                    return true;
                }
            }
            return false;
        },
        std::chrono::seconds(10));
    if (hasSocket && withXWayland) {
        // sway starts XWayland on first use, but takes its X display at once: the newest lock
        // file of the compositor's user names it.
        const uint owner = isRoot ? nobody : uint(::geteuid());
        waitUntil(
            [&] {
                const QFileInfoList locks =
                    QDir(QStringLiteral("/tmp"))
                        .entryInfoList({QStringLiteral(".X*-lock")}, QDir::Hidden | QDir::Files,
                                       QDir::Time);
                for (const QFileInfo &lock : locks) {
                    if (lock.ownerId() == owner && lock.lastModified() >= started) {
                        const QString name = lock.fileName();
                        m_xDisplay = u':' + name.mid(2, name.size() - 7);
                        return true;
                    }
                }
                return false;
            },
            std::chrono::seconds(5));
        if (m_xDisplay.isEmpty()) {
            m_problem = QStringLiteral("sway started no XWayland (apt install xwayland)");
            m_display.clear();
            return;
        }
        // XWayland admits only the compositor's user; root, running the tests, is let in by it.
        if (isRoot) {
            QProcess xhost;
            QProcessEnvironment xEnvironment = environment;
            xEnvironment.insert(QStringLiteral("DISPLAY"), m_xDisplay);
            xhost.setProcessEnvironment(xEnvironment);
            xhost.start(QStringLiteral("setpriv"),
                        {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                         QStringLiteral("--clear-groups"), QStringLiteral("xhost"),
                         QStringLiteral("+si:localuser:root")});
            if (!xhost.waitForFinished(20000) || xhost.exitCode() != 0) {
                m_problem = QStringLiteral("cannot let root into XWayland (apt install "
                                           "x11-xserver-utils): ") +
                            QString::fromUtf8(xhost.readAllStandardError());
                m_display.clear();
                return;
            }
        }
    }
    if (!hasSocket || m_display.isEmpty()) {
        m_display.clear();
        QFile log(m_dir.path() + QStringLiteral("/sway.log"));
        log.open(QIODevice::ReadOnly);
        m_problem = QStringLiteral("sway did not start: ") + QString::fromUtf8(log.readAll());
    }
}

WaylandSession::~WaylandSession()
{
    if (m_keyboard.state() != QProcess::NotRunning) {
        m_keyboard.closeWriteChannel();
        if (!m_keyboard.waitForFinished(3000)) {
            m_keyboard.kill();
            m_keyboard.waitForFinished();
        }
    }
    if (m_sway.state() != QProcess::NotRunning) {
        m_sway.terminate();
        if (!m_sway.waitForFinished(3000)) {
            m_sway.kill();
            m_sway.waitForFinished();
        }
    }
}

bool WaylandSession::addKeyboard()
{
    m_keyboard.setProcessEnvironment(environment());
    m_keyboard.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_keyboard.start(
        QStringLiteral(KELO_TEST_BINARY_DIR "/tests/KeloPlatform/kelo-test-virtual-keyboard"), {});
    return m_keyboard.waitForReadyRead(5000) && m_keyboard.readLine().startsWith("ready");
}

QString WaylandSession::runtimeFolder() const
{
    return m_dir.path() + QStringLiteral("/runtime");
}

QProcessEnvironment WaylandSession::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder());
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), m_display);
    environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    if (m_xDisplay.isEmpty()) {
        environment.remove(QStringLiteral("DISPLAY"));
    } else {
        environment.insert(QStringLiteral("DISPLAY"), m_xDisplay);
    }
    return environment;
}

std::optional<QString> WaylandSession::clipboardText(std::chrono::milliseconds timeout) const
{
    QProcess paste;
    paste.setProcessEnvironment(environment());
    // This process may be the one serving the clipboard: keep its event loop turning.
    paste.start(QStringLiteral("wl-paste"),
                {QStringLiteral("--no-newline"), QStringLiteral("--type"), QStringLiteral("text")});
    waitUntil([&] { return paste.state() == QProcess::NotRunning; }, timeout);
    if (paste.state() != QProcess::NotRunning) {
        paste.kill();
        paste.waitForFinished();
        return std::nullopt;
    }
    if (paste.exitStatus() != QProcess::NormalExit || paste.exitCode() != 0) {
        return std::nullopt;
    }
    return QString::fromUtf8(paste.readAllStandardOutput());
}

QString WaylandSession::swaymsg(const QStringList &arguments) const
{
    const QStringList sockets = QDir(runtimeFolder())
                                    .entryList({QStringLiteral("sway-ipc.*")},
                                               QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    if (sockets.isEmpty()) {
        return {};
    }
    QProcess message;
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("SWAYSOCK"), runtimeFolder() + u'/' + sockets.constFirst());
    message.setProcessEnvironment(env);
    message.start(QStringLiteral("swaymsg"), arguments);
    message.waitForFinished(5000);
    return QString::fromUtf8(message.readAllStandardOutput());
}

} // namespace KeloTest
