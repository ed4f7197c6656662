// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace KeloTest {

// A real desktop started for one test, privately: its own runtime folder and home, its own
// session bus (with the desktop's real portals, limited to that desktop's set), its own display
// numbers. Every program it starts, and whatever those start, is ended by process id when the
// session goes. Nothing of the machine's own session is touched.
//
// Tests ask `start()` for a desktop by name and fail, not skip, when it cannot start: problem()
// says why, with the end of the logs.
class DesktopSession
{
public:
    virtual ~DesktopSession();
    DesktopSession(const DesktopSession &) = delete;
    DesktopSession &operator=(const DesktopSession &) = delete;

    // "sway", "kwin" or "gnome".
    [[nodiscard]] static std::unique_ptr<DesktopSession> start(const QString &name);

    [[nodiscard]] bool isReady() const { return m_problem.isEmpty(); }
    [[nodiscard]] QString problem() const;
    [[nodiscard]] const QString &name() const { return m_name; }
    // From the first program started to the desktop being ready for clients.
    [[nodiscard]] std::chrono::milliseconds startTime() const { return m_startTime; }

    // The environment of a program the user starts on this desktop (as a launcher would give it):
    // the Wayland and X displays, the session bus, the desktop's name. Qt's platform is left to
    // the program.
    [[nodiscard]] QProcessEnvironment environment() const { return m_environment; }
    [[nodiscard]] QString busAddress() const { return m_busAddress; }
    // A connection of the test process to the session bus.
    [[nodiscard]] QDBusConnection bus() const;
    [[nodiscard]] QString folder() const { return m_dir.path(); }
    // Keeps folder() with the desktop's logs after the session, for a failed test.
    void keepFolder() { m_dir.setAutoRemove(false); }

    // The clipboard's text as another Wayland client reads it (wl-paste); absent when it holds
    // none.
    [[nodiscard]] std::optional<QString>
    clipboardText(std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

    // Whether the desktop binds global shortcuts for applications (the GlobalShortcuts portal).
    [[nodiscard]] virtual bool hasGlobalShortcuts() const { return false; }
    // Presses keys as the user's keyboard would, in xdotool's words ("ctrl+shift+2", "Return").
    virtual bool pressKeys(const QString &keys) = 0;
    // Moves the pointer there (global coordinates) and clicks the left button.
    virtual bool click(QPoint at) = 0;
    // Presses the left button at `from`, moves to `to` as a hand would, and lets go.
    virtual bool drag(QPoint from, QPoint to) = 0;
    // The whole screen as the user sees it.
    [[nodiscard]] virtual QImage screenshot() = 0;
    // The screen's size in the compositor's coordinates.
    [[nodiscard]] QSize screenSize() const { return m_screenSize; }

    // Runs a program on this desktop and waits for it to end; its standard output.
    QString run(const QString &program, const QStringList &arguments,
                std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    // Starts a program of the desktop's own that lives as long as the session (a bar, a portal
    // helper); its output goes to a log of its own in folder().
    QProcess *launch(const QString &logName, const QString &program, const QStringList &arguments,
                     const QProcessEnvironment &environment);
    // Whether the programs the session started are still running (none crashed).
    [[nodiscard]] bool isAlive() const;

protected:
    DesktopSession(QString name, QSize screenSize);

    // Starts the session bus, whose services inherit `environment`; only the portals named
    // (files in /usr/share/xdg-desktop-portal/portals) serve this desktop.
    bool startBus(const QProcessEnvironment &environment, const QStringList &portals);
    // A stand-in for systemd's user manager on the session bus (containers run none), so that
    // applications can run in scopes of their own as on a real session.
    bool startUserManager();
    // Tells the bus the variables later services must see (the displays, once known).
    bool updateActivationEnvironment(const QProcessEnvironment &variables);
    // The X server (XWayland) a compositor started: its display, and the file that lets
    // clients in, from its command line. The display is empty when none came in time.
    struct XServer
    {
        QString display;
        QString authority;
    };
    [[nodiscard]] static XServer xServerOfChild(qint64 parent, std::chrono::milliseconds timeout);
    // Clients of the desktop use this X server.
    void useXServer(const XServer &server);
    // Waits for the Wayland socket in the runtime folder.
    bool waitForSocket(const QString &socket, const QProcess &compositor,
                       std::chrono::milliseconds timeout);
    void fail(const QString &problem) { m_problem = problem; }
    void setReady() { m_startTime = std::chrono::milliseconds(m_clock.elapsed()); }
    [[nodiscard]] QString runtimeFolder() const;
    [[nodiscard]] QString homeFolder() const;
    // The tail of a log the session wrote, for a failure message.
    [[nodiscard]] QString logTail(const QString &logName, int lines = 25) const;

    QProcessEnvironment m_environment;

private:
    void stopAll();
    void removeScopes();

    QString m_name;
    QSize m_screenSize;
    QTemporaryDir m_dir;
    QElapsedTimer m_clock;
    std::chrono::milliseconds m_startTime{0};
    QString m_problem;
    QString m_busAddress;
    QString m_busConnectionName;
    std::vector<std::unique_ptr<QProcess>> m_processes;
    // Children the test process had before this session began; never ended by it.
    std::set<qint64> m_foreignChildren;
};

// The test process's children and their descendants, by process id.
[[nodiscard]] std::vector<qint64> descendantsOf(qint64 pid);

} // namespace KeloTest
