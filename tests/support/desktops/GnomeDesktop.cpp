// SPDX-License-Identifier: GPL-3.0-or-later
// GNOME Shell 43 nested (its own window) on a private Xvfb, as a Wayland compositor with
// XWayland; xdg-desktop-portal-gnome and -gtk on the session bus; an empty private system bus
// stands in for the machine's (the shell asks logind there and does without it). Input goes
// through the Xvfb window with xdotool, as a user's would.

#include "support/TestSupport.h"
#include "support/desktops/DesktopSession.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

namespace KeloTest {
namespace {

constexpr auto socketName = "kelo-gnome";

class GnomeDesktop final : public DesktopSession
{
public:
    explicit GnomeDesktop(const QStringList &desktopEntries)
        : DesktopSession(QStringLiteral("gnome"), QStringLiteral("GNOME"))
    {
        if (!hasPrograms({"gnome-shell", "Xvfb", "xdotool", "maim", "wl-paste"}) ||
            !installEntries(desktopEntries) || !startXvfb() || !startSystemBus()) {
            return;
        }
        m_environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), m_systemBus);
        m_environment.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("memory"));
        if (!startBus({QStringLiteral("gnome.portal"), QStringLiteral("gtk.portal"),
                       QStringLiteral("gnome-shell.portal")})) {
            return;
        }
        QProcessEnvironment shellEnvironment = m_environment;
        shellEnvironment.insert(QStringLiteral("DISPLAY"), m_xvfbDisplay);
        shellEnvironment.insert(QStringLiteral("MUTTER_DEBUG_DUMMY_MODE_SPECS"),
                                QStringLiteral("1280x720"));
        const QProcess *shell =
            launch(QStringLiteral("gnome"), QStringLiteral("gnome-shell"),
                   {QStringLiteral("--nested"), QStringLiteral("--wayland"),
                    QStringLiteral("--wayland-display"), QString::fromLatin1(socketName)},
                   shellEnvironment);
        if (!useDisplays(*shell, runtimeFolder(), QString::fromLatin1(socketName)) ||
            !startUserManager()) {
            return;
        }
        // The shell opens the overview when it starts; the desktop is under it.
        if (!waitUntil(
                [&] {
                    return logTail(QStringLiteral("gnome"), 200)
                        .contains(QStringLiteral("GNOME Shell started"));
                },
                std::chrono::seconds(30))) {
            fail(QStringLiteral("gnome-shell did not finish starting: ") +
                 logTail(QStringLiteral("gnome")));
            return;
        }
        processEventsFor(std::chrono::milliseconds(1500));
        pressKeys(QStringLiteral("Escape"));
        setReady();
    }

    bool pressKeys(const QString &keys) override
    {
        return xdotool({QStringLiteral("key"), QStringLiteral("--clearmodifiers"), keys});
    }

    bool click(QPoint at) override
    {
        return xdotool({QStringLiteral("mousemove"), QString::number(at.x()),
                        QString::number(at.y()), QStringLiteral("sleep"), QStringLiteral("0.1"),
                        QStringLiteral("click"), QStringLiteral("1")});
    }

    bool drag(QPoint from, QPoint to) override
    {
        QStringList steps{QStringLiteral("mousemove"), QString::number(from.x()),
                          QString::number(from.y()),   QStringLiteral("sleep"),
                          QStringLiteral("0.2"),       QStringLiteral("mousedown"),
                          QStringLiteral("1")};
        constexpr int count = 20;
        for (int step = 1; step <= count; ++step) {
            const QPoint at = from + (to - from) * step / count;
            steps << QStringLiteral("mousemove") << QString::number(at.x())
                  << QString::number(at.y()) << QStringLiteral("sleep") << QStringLiteral("0.03");
        }
        steps << QStringLiteral("mouseup") << QStringLiteral("1");
        return xdotool(steps);
    }

    QImage screenshot() override { return screenshotWith(QStringLiteral("maim"), {}, onXvfb()); }

private:
    // Input and screenshots go through the nested shell's window on Xvfb, as a user's would.
    [[nodiscard]] QProcessEnvironment onXvfb() const
    {
        QProcessEnvironment environment = m_environment;
        environment.insert(QStringLiteral("DISPLAY"), m_xvfbDisplay);
        return environment;
    }

    bool xdotool(const QStringList &arguments)
    {
        return run(QStringLiteral("xdotool"), arguments, std::chrono::seconds(10), onXvfb())
            .has_value();
    }

    // The nested shell's window fills a screen of its size, at the top-left corner, so that
    // positions on the X screen are positions on the shell's. Without -noreset the server
    // starts over whenever its last client leaves, which a shell just connecting can meet.
    bool startXvfb()
    {
        QProcess *xvfb =
            launch(QStringLiteral("xvfb"), QStringLiteral("Xvfb"),
                   {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                    QStringLiteral("0"), QStringLiteral("1280x720x24"), QStringLiteral("-nolisten"),
                    QStringLiteral("tcp"), QStringLiteral("-noreset")},
                   QProcessEnvironment::systemEnvironment());
        static const QRegularExpression number(QStringLiteral("^(\\d+)$"),
                                               QRegularExpression::MultilineOption);
        waitUntil(
            [&] {
                const auto match = number.match(logTail(QStringLiteral("xvfb")));
                if (match.hasMatch()) {
                    m_xvfbDisplay = u':' + match.captured(1);
                }
                return !m_xvfbDisplay.isEmpty() || xvfb->state() == QProcess::NotRunning;
            },
            std::chrono::seconds(10));
        if (m_xvfbDisplay.isEmpty()) {
            fail(QStringLiteral("Xvfb did not start: ") + logTail(QStringLiteral("xvfb")));
            return false;
        }
        return true;
    }

    // The shell looks for logind on the system bus; an empty bus of its own answers that there
    // is none, where no bus at all would stop it.
    bool startSystemBus()
    {
        const QString socket = runtimeFolder() + QStringLiteral("/system-bus");
        QProcess *bus =
            launch(QStringLiteral("system-bus"), QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--session"), QStringLiteral("--nofork"),
                    QStringLiteral("--nopidfile"), QStringLiteral("--address=unix:path=") + socket},
                   QProcessEnvironment::systemEnvironment());
        if (!waitUntil(
                [&] { return QFile::exists(socket) || bus->state() == QProcess::NotRunning; }) ||
            bus->state() != QProcess::Running) {
            fail(QStringLiteral("the stand-in system bus did not start"));
            return false;
        }
        m_systemBus = QStringLiteral("unix:path=") + socket;
        return true;
    }

    QString m_xvfbDisplay;
    QString m_systemBus;
};

} // namespace

std::unique_ptr<DesktopSession> startGnome(const QStringList &desktopEntries)
{
    return std::make_unique<GnomeDesktop>(desktopEntries);
}

} // namespace KeloTest
