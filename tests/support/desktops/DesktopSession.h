// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QImage>
#include <QMap>
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

    // "sway", "kwin" or "gnome". On KWin and GNOME, the desktop entries are installed for the
    // user before the desktop starts, as a package installed earlier would be (KWin reads them
    // once). KWin starts with `monitors` side by side; the others with one.
    [[nodiscard]] static std::unique_ptr<DesktopSession>
    start(const QString &name, const QStringList &desktopEntries = {}, int monitors = 1);

    [[nodiscard]] bool isReady() const { return m_problem.isEmpty(); }
    [[nodiscard]] QString problem() const;
    // From the first program started to the desktop being ready for clients.
    [[nodiscard]] std::chrono::milliseconds startTime() const { return m_startTime; }

    // The environment of a program the user starts on this desktop (as a launcher would give it):
    // the Wayland and X displays, the session bus, the desktop's name. Qt's platform is left to
    // the program.
    [[nodiscard]] QProcessEnvironment environment() const { return m_environment; }
    // A connection of the test process to the session bus.
    [[nodiscard]] QDBusConnection bus() const;
    [[nodiscard]] QString folder() const { return m_dir.path(); }
    // Keeps folder() with the desktop's logs after the session, for a failed test.
    void keepFolder() { m_dir.setAutoRemove(false); }

    // The clipboard's text as another Wayland client reads it (wl-paste); absent when it holds
    // none.
    [[nodiscard]] std::optional<QString>
    clipboardText(std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

    // Presses keys as the user's keyboard would, in xdotool's words ("ctrl+shift+2", "Return").
    virtual bool pressKeys(const QString &keys) { return sendInput("keys " + keys.toUtf8()); }
    // Moves the pointer there (global coordinates) and clicks the left button.
    virtual bool click(QPoint at);
    // Presses the left button at `from`, moves to `to` as a hand would, and lets go.
    virtual bool drag(QPoint from, QPoint to);
    // The whole screen as the user sees it.
    [[nodiscard]] virtual QImage screenshot() = 0;

    // Runs a program on this desktop and waits for it to end; its standard output, absent when
    // it did not end in time or failed.
    std::optional<QString> run(const QString &program, const QStringList &arguments,
                               std::chrono::milliseconds timeout = std::chrono::seconds(10),
                               const QProcessEnvironment &environment = {}) const;

protected:
    // Every program a desktop starts begins from `environment()`: this machine's, with the
    // session's runtime folder, home and desktop name (XDG_CURRENT_DESKTOP), and no display or Qt
    // platform of the test's.
    DesktopSession(QString name, const QString &currentDesktop);

    // False, with the reason, when one of the programs is not installed.
    bool hasPrograms(std::initializer_list<const char *> programs);
    // Starts a program of the desktop's own that lives as long as the session (a bar, a portal
    // helper); its output goes to a log of its own in folder().
    QProcess *launch(const QString &logName, const QString &program, const QStringList &arguments,
                     const QProcessEnvironment &environment);
    // Starts the session bus, whose services inherit the environment; only the portals named
    // (files in /usr/share/xdg-desktop-portal/portals) serve this desktop.
    bool startBus(const QStringList &portals);
    // Waits for a service on the session bus; false, with the log of the program that should
    // have registered it, when it did not come.
    bool waitForService(const QString &service, const QString &logName,
                        std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Installs desktop entries for the user (~/.local/share/applications), before the desktop
    // starts; false, with the reason, when one cannot be.
    bool installEntries(const QStringList &entries);
    // A stand-in for systemd's user manager on the session bus (containers run none), so that
    // applications can run in scopes of their own as on a real session.
    bool startUserManager();
    // Plugs the test's keyboard (and, on KWin, mouse) into the compositor: kelo-test-input.
    bool startInput();
    // A bar with only a tray (waybar): it owns the tray's watcher and shows the items.
    bool startBar();
    // Starts the portal front end, rather than leave it to the bus, and waits for its name: a
    // client that asked the bus for it (waybar, at its start) would otherwise wait as long as
    // the front end waits for its back ends (up to 25 s). One that does not come in 3 s is
    // started once more.
    bool startPortal();
    // Waits for the compositor's Wayland socket (`socket` in `socketFolder`, else the first one
    // there) and the XWayland it started; both become the displays of programs started here and
    // by the bus from now on, and services the bus starts also get `forServices`.
    bool useDisplays(const QProcess &compositor, const QString &socketFolder,
                     const QString &socket = {}, const QMap<QString, QString> &forServices = {});
    void fail(const QString &problem) { m_problem = problem; }
    void setReady() { m_startTime = std::chrono::milliseconds(m_clock.elapsed()); }
    [[nodiscard]] QString runtimeFolder() const;
    [[nodiscard]] QString homeFolder() const;
    // The tail of a log the session wrote, for a failure message.
    [[nodiscard]] QString logTail(const QString &logName, int lines = 25) const;
    // A screenshot a program writes to the file it is given last.
    [[nodiscard]] QImage screenshotWith(const QString &program, const QStringList &arguments,
                                        const QProcessEnvironment &environment = {});

    QProcessEnvironment m_environment;

private:
    bool sendInput(const QByteArray &command);
    void stopAll();
    void removeScopes();

    QString m_name;
    QTemporaryDir m_dir;
    QElapsedTimer m_clock;
    std::chrono::milliseconds m_startTime{0};
    QString m_problem;
    QString m_busConnectionName;
    std::vector<std::unique_ptr<QProcess>> m_processes;
    QProcess m_input;
    // Children the test process had before this session began; never ended by it.
    std::set<qint64> m_foreignChildren;
};

} // namespace KeloTest
