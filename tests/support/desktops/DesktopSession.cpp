// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/desktops/DesktopSession.h"

#include "support/TestSupport.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUuid>

#include <csignal>
#include <cstdio>
#include <map>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace KeloTest {
namespace {

bool writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

// Every process's parent, read from /proc.
std::map<qint64, qint64> parents()
{
    std::map<qint64, qint64> result;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid) {
            continue;
        }
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly)) {
            continue;
        }
        // "pid (name) state ppid ...": the name may hold spaces and parentheses.
        const QByteArray line = stat.readAll();
        const qsizetype end = line.lastIndexOf(')');
        const QList<QByteArray> fields = line.mid(end + 2).split(' ');
        if (fields.size() > 1) {
            result[pid] = fields.at(1).toLongLong();
        }
    }
    return result;
}

QByteArray commandLine(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void signalAll(const std::vector<qint64> &pids, int signalNumber)
{
    for (const qint64 pid : pids) {
        ::kill(pid_t(pid), signalNumber);
    }
}

bool anyAlive(const std::vector<qint64> &pids)
{
    for (const qint64 pid : pids) {
        // A zombie is gone as far as anyone can tell, but still answers kill(0).
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (stat.open(QIODevice::ReadOnly) && !stat.readAll().contains(") Z ")) {
            return true;
        }
    }
    return false;
}

// The process's children and their descendants, by process id.
std::vector<qint64> descendantsOf(qint64 pid)
{
    const std::map<qint64, qint64> parentOf = parents();
    std::vector<qint64> found;
    std::vector<qint64> pending{pid};
    while (!pending.empty()) {
        const qint64 parent = pending.back();
        pending.pop_back();
        for (const auto &[child, itsParent] : parentOf) {
            if (itsParent == parent) {
                found.push_back(child);
                pending.push_back(child);
            }
        }
    }
    return found;
}

// The X server (XWayland) a compositor started: its display, and the file that lets clients in,
// from its command line. The display is empty when none came in time.
std::pair<QString, QString> xServerOfChild(qint64 parent, std::chrono::milliseconds timeout)
{
    static const QRegularExpression display(QStringLiteral("^:(\\d+)$"));
    std::pair<QString, QString> found;
    waitUntil(
        [&] {
            for (const qint64 child : descendantsOf(parent)) {
                const QList<QByteArray> arguments = commandLine(child).split('\0');
                if (arguments.isEmpty() || !arguments.constFirst().contains("Xwayland")) {
                    continue;
                }
                for (qsizetype i = 0; i < arguments.size(); ++i) {
                    const QString argument = QString::fromLocal8Bit(arguments.at(i));
                    if (display.match(argument).hasMatch()) {
                        found.first = argument;
                    } else if (argument == u"-auth" && i + 1 < arguments.size()) {
                        found.second = QString::fromLocal8Bit(arguments.at(i + 1));
                    }
                }
                return !found.first.isEmpty();
            }
            return false;
        },
        timeout);
    return found;
}

} // namespace

DesktopSession::DesktopSession(QString name, const QString &currentDesktop)
    : m_name(std::move(name))
{
    m_clock.start();
    // Daemons that leave their parent (a bus the shell starts for accessibility) come to this
    // process instead of the machine's init, so the session still finds them at its end.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    for (const qint64 child : descendantsOf(::getpid())) {
        m_foreignChildren.insert(child);
    }
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                            QFile::ReadOther | QFile::ExeOther);
    QDir().mkpath(runtimeFolder());
    QDir().mkpath(homeFolder());
    QFile::setPermissions(runtimeFolder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
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
    m_environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), currentDesktop);
    for (const char *name :
         {"QT_QPA_PLATFORM", "KELOLENS_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY"}) {
        m_environment.remove(QString::fromLatin1(name));
    }
}

bool DesktopSession::hasPrograms(std::initializer_list<const char *> programs)
{
    for (const char *program : programs) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty()) {
            fail(QStringLiteral("%1 is not installed (make test-desktops installs it)")
                     .arg(QString::fromLatin1(program)));
            return false;
        }
    }
    return true;
}

bool DesktopSession::waitForService(const QString &service, const QString &logName,
                                    std::chrono::milliseconds timeout)
{
    if (!waitUntil([&] { return bus().interface()->isServiceRegistered(service); }, timeout)) {
        fail(QStringLiteral("%1 did not come on the bus: ").arg(service) + logTail(logName));
        return false;
    }
    return true;
}

DesktopSession::~DesktopSession()
{
    // The input device goes when its standard input closes.
    m_input.closeWriteChannel();
    if (!m_input.waitForFinished(2000)) {
        m_input.kill();
        m_input.waitForFinished();
    }
    if (!m_busConnectionName.isEmpty()) {
        QDBusConnection::disconnectFromBus(m_busConnectionName);
    }
    stopAll();
    removeScopes();
}

void DesktopSession::removeScopes()
{
    // The stand-in user manager's scopes, now that their processes have ended; their parents
    // too where nothing else uses them.
    QFile list(m_dir.filePath(QStringLiteral("scopes")));
    if (!list.open(QIODevice::ReadOnly)) {
        return;
    }
    for (const QByteArray &line : list.readAll().split('\n')) {
        QString folder = QString::fromLocal8Bit(line);
        for (int level = 0; level < 4 && !folder.isEmpty(); ++level) {
            if (::rmdir(QFile::encodeName(folder).constData()) != 0) {
                break;
            }
            folder = QFileInfo(folder).path();
        }
    }
}

bool DesktopSession::startUserManager()
{
    launch(QStringLiteral("user-manager"),
           QStringLiteral(KELO_TEST_BINARY_DIR "/tests/desktops/kelo-test-user-manager"),
           {m_dir.filePath(QStringLiteral("scopes"))}, m_environment);
    return waitForService(QStringLiteral("org.freedesktop.systemd1"),
                          QStringLiteral("user-manager"));
}

bool DesktopSession::startInput()
{
    m_input.setProcessEnvironment(m_environment);
    m_input.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_input.start(QStringLiteral(KELO_TEST_BINARY_DIR "/tests/desktops/kelo-test-input"), {});
    if (!m_input.waitForReadyRead(10000) || !m_input.readLine().startsWith("ready")) {
        fail(QStringLiteral("the compositor took no input device"));
        return false;
    }
    return true;
}

bool DesktopSession::sendInput(const QByteArray &command)
{
    if (m_input.state() != QProcess::Running) {
        return false;
    }
    m_input.write(command + '\n');
    // The device answers once the compositor has the events.
    return waitUntil([&] { return m_input.canReadLine(); }, std::chrono::seconds(10)) &&
           m_input.readLine().startsWith("done");
}

bool DesktopSession::click(QPoint at)
{
    return sendInput(QStringLiteral("click %1 %2").arg(at.x()).arg(at.y()).toUtf8());
}

bool DesktopSession::drag(QPoint from, QPoint to)
{
    return sendInput(QStringLiteral("drag %1 %2 %3 %4")
                         .arg(from.x())
                         .arg(from.y())
                         .arg(to.x())
                         .arg(to.y())
                         .toUtf8());
}

bool DesktopSession::startBar()
{
    const QString config = homeFolder() + QStringLiteral("/waybar.json");
    const QString style = homeFolder() + QStringLiteral("/waybar.css");
    if (!writeFile(config, R"({"layer": "top", "position": "top", "height": 26,
                               "modules-right": ["tray"], "tray": {"spacing": 4}})") ||
        !writeFile(style, "* { font-family: DejaVu Sans; font-size: 12px; }\n")) {
        fail(QStringLiteral("cannot write the waybar configuration"));
        return false;
    }
    // Without the accessibility bus, which GTK otherwise starts.
    QProcessEnvironment barEnvironment = m_environment;
    barEnvironment.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    barEnvironment.insert(QStringLiteral("GTK_A11Y"), QStringLiteral("none"));
    launch(QStringLiteral("waybar"), QStringLiteral("waybar"),
           {QStringLiteral("-c"), config, QStringLiteral("-s"), style}, barEnvironment);
    return waitForService(QStringLiteral("org.kde.StatusNotifierWatcher"), QStringLiteral("waybar"),
                          std::chrono::seconds(30));
}

bool DesktopSession::startPortal()
{
    QProcessEnvironment portalEnvironment = m_environment;
    portalEnvironment.insert(QStringLiteral("XDG_DESKTOP_PORTAL_DIR"),
                             m_dir.filePath(QStringLiteral("portals")));
    const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
    for (int attempt = 0; attempt < 2; ++attempt) {
        QProcess *portal =
            launch(QStringLiteral("portal"), QStringLiteral("/usr/libexec/xdg-desktop-portal"), {},
                   portalEnvironment);
        if (waitUntil([&] { return bus().interface()->isServiceRegistered(service).value(); },
                      std::chrono::seconds(3))) {
            return true;
        }
        std::fprintf(stderr, "xdg-desktop-portal did not take its name in 3 s: started again\n");
        portal->kill();
        portal->waitForFinished(3000);
    }
    fail(service + QStringLiteral(" did not come on the bus: ") +
         logTail(QStringLiteral("portal")));
    return false;
}

void DesktopSession::stopAll()
{
    // Every process of the session: those started here, what they started, and daemons that
    // left their parents (now children of this process). Found before any is signalled, since a
    // process that ends hands its children on. A process may still start one while it ends
    // (sway starts XWayland again when it goes first), so whatever is left is looked for again.
    for (int round = 0; round < 3; ++round) {
        std::vector<qint64> pids;
        for (auto it = m_processes.rbegin(); it != m_processes.rend(); ++it) {
            if ((*it)->state() != QProcess::NotRunning) {
                pids.push_back((*it)->processId());
            }
        }
        for (const qint64 pid : descendantsOf(::getpid())) {
            if (m_foreignChildren.count(pid) == 0 &&
                std::find(pids.begin(), pids.end(), pid) == pids.end()) {
                pids.push_back(pid);
            }
        }
        if (pids.empty()) {
            break;
        }
        signalAll(pids, SIGTERM);
        waitUntil([&] { return !anyAlive(pids); }, std::chrono::seconds(3));
        signalAll(pids, SIGKILL);
        for (const auto &process : m_processes) {
            process->waitForFinished(3000);
        }
        // Reap whatever came to this process as an orphan.
        for (const qint64 pid : pids) {
            ::waitpid(pid_t(pid), nullptr, WNOHANG);
        }
    }
    m_processes.clear();
    // The document portal mounts its file system in the runtime folder; killed, it leaves the
    // mount behind, and the folder could not be removed.
    const QString documents = runtimeFolder() + QStringLiteral("/doc");
    QFile mounts(QStringLiteral("/proc/self/mounts"));
    if (mounts.open(QIODevice::ReadOnly) &&
        mounts.readAll().contains(QFile::encodeName(documents))) {
        QProcess::execute(QStringLiteral("fusermount3"),
                          {QStringLiteral("-u"), QStringLiteral("-z"), documents});
    }
}

std::unique_ptr<DesktopSession> startSway();
std::unique_ptr<DesktopSession> startKWin(const QStringList &desktopEntries, int monitors);
std::unique_ptr<DesktopSession> startGnome(const QStringList &desktopEntries);

std::unique_ptr<DesktopSession>
DesktopSession::start(const QString &name, const QStringList &desktopEntries, int monitors)
{
    if (name == u"sway") {
        return startSway();
    }
    if (name == u"kwin") {
        return startKWin(desktopEntries, monitors);
    }
    if (name == u"gnome") {
        return startGnome(desktopEntries);
    }
    return nullptr;
}

bool DesktopSession::installEntries(const QStringList &entries)
{
    const QString applications = homeFolder() + QStringLiteral("/.local/share/applications/");
    QDir().mkpath(applications);
    for (const QString &entry : entries) {
        if (!QFile::copy(entry, applications + QFileInfo(entry).fileName())) {
            fail(QStringLiteral("cannot install %1").arg(entry));
            return false;
        }
    }
    return true;
}

QString DesktopSession::problem() const
{
    return QStringLiteral("%1 did not start: %2").arg(m_name, m_problem);
}

QString DesktopSession::runtimeFolder() const
{
    return m_dir.filePath(QStringLiteral("runtime"));
}

QString DesktopSession::homeFolder() const
{
    return m_dir.filePath(QStringLiteral("home"));
}

QString DesktopSession::logTail(const QString &logName, int lines) const
{
    QFile log(m_dir.filePath(logName + QStringLiteral(".log")));
    if (!log.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QStringList all = QString::fromUtf8(log.readAll()).split(u'\n');
    return all.mid(std::max<qsizetype>(0, all.size() - lines)).join(u'\n');
}

QDBusConnection DesktopSession::bus() const
{
    return QDBusConnection(m_busConnectionName);
}

QProcess *DesktopSession::launch(const QString &logName, const QString &program,
                                 const QStringList &arguments,
                                 const QProcessEnvironment &environment)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(m_dir.filePath(logName + QStringLiteral(".log")),
                                   QIODevice::Append);
    process->setStandardErrorFile(m_dir.filePath(logName + QStringLiteral(".log")),
                                  QIODevice::Append);
    const pid_t parent = ::getpid();
    process->setChildProcessModifier([parent] {
        // A test that dies takes its desktop with it.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) {
            ::_exit(127);
        }
    });
    process->start(program, arguments);
    process->waitForStarted(10000);
    QProcess *started = process.get();
    m_processes.push_back(std::move(process));
    return started;
}

bool DesktopSession::startBus(const QStringList &portals)
{
    const QString portalDir = m_dir.filePath(QStringLiteral("portals"));
    QDir().mkpath(portalDir);
    for (const QString &portal : portals) {
        if (!QFile::copy(QStringLiteral("/usr/share/xdg-desktop-portal/portals/") + portal,
                         portalDir + u'/' + portal)) {
            fail(QStringLiteral("the portal %1 is not installed (make test-desktops installs it)")
                     .arg(portal));
            return false;
        }
    }
    const QString socket = runtimeFolder() + QStringLiteral("/bus");
    // Services of our own, where a test needs them, come before the system's.
    const QString services = m_dir.filePath(QStringLiteral("services"));
    QDir().mkpath(services);
    const QByteArray config =
        "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
        " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
        "<busconfig><type>session</type><listen>unix:path=" +
        socket.toUtf8() + "</listen><servicedir>" + services.toUtf8() +
        "</servicedir><standard_session_servicedirs/><auth>EXTERNAL</auth>"
        "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
        "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n";
    const QString configFile = m_dir.filePath(QStringLiteral("session-bus.conf"));
    if (!writeFile(configFile, config)) {
        fail(QStringLiteral("cannot write the bus configuration"));
        return false;
    }
    const QString address = QStringLiteral("unix:path=") + socket;
    QProcessEnvironment busEnvironment = m_environment;
    busEnvironment.insert(QStringLiteral("XDG_DESKTOP_PORTAL_DIR"), portalDir);
    busEnvironment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    QProcess *daemon = launch(QStringLiteral("session-bus"), QStringLiteral("dbus-daemon"),
                              {QStringLiteral("--config-file=") + configFile,
                               QStringLiteral("--nofork"), QStringLiteral("--nopidfile")},
                              busEnvironment);
    const bool isUp =
        waitUntil([&] { return QFile::exists(socket) || daemon->state() == QProcess::NotRunning; },
                  std::chrono::seconds(5));
    if (!isUp || daemon->state() != QProcess::Running) {
        fail(QStringLiteral("dbus-daemon did not start: ") +
             logTail(QStringLiteral("session-bus")));
        return false;
    }
    m_busConnectionName = QStringLiteral("kelo-desktop-") + QUuid::createUuid().toString();
    if (!QDBusConnection::connectToBus(address, m_busConnectionName).isConnected()) {
        fail(QStringLiteral("cannot connect to the session bus"));
        return false;
    }
    m_environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    return true;
}

bool DesktopSession::useDisplays(const QProcess &compositor, const QString &socketFolder,
                                 const QString &socket, const QMap<QString, QString> &forServices)
{
    // A compositor that names its socket itself makes the first wayland-N there.
    QString name = socket;
    const bool hasSocket = waitUntil(
        [&] {
            if (socket.isEmpty()) {
                const QStringList found =
                    QDir(socketFolder)
                        .entryList({QStringLiteral("wayland-*")},
                                   QDir::System | QDir::Files | QDir::NoDotAndDotDot);
                for (const QString &entry : found) {
                    if (!entry.endsWith(QStringLiteral(".lock"))) {
                        name = entry;
                    }
                }
            }
            return (!name.isEmpty() && QFile::exists(socketFolder + u'/' + name)) ||
                   compositor.state() == QProcess::NotRunning;
        },
        std::chrono::seconds(30));
    if (!hasSocket || compositor.state() != QProcess::Running) {
        fail(QStringLiteral("the compositor made no Wayland socket: ") + logTail(m_name));
        return false;
    }
    const auto [display, authority] =
        xServerOfChild(compositor.processId(), std::chrono::seconds(20));
    if (display.isEmpty()) {
        fail(QStringLiteral("the compositor started no XWayland: ") + logTail(m_name));
        return false;
    }
    m_environment.insert(QStringLiteral("WAYLAND_DISPLAY"),
                         socketFolder == runtimeFolder() ? name : socketFolder + u'/' + name);
    m_environment.insert(QStringLiteral("DISPLAY"), display);
    if (!authority.isEmpty()) {
        m_environment.insert(QStringLiteral("XAUTHORITY"), authority);
    }
    // Services the bus starts from now on (the portals) see them too.
    using Variables = QMap<QString, QString>;
    qDBusRegisterMetaType<Variables>();
    Variables values = forServices;
    for (const char *variable :
         {"WAYLAND_DISPLAY", "DISPLAY", "XAUTHORITY", "XDG_CURRENT_DESKTOP"}) {
        values.insert(QString::fromLatin1(variable),
                      m_environment.value(QString::fromLatin1(variable)));
    }
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("UpdateActivationEnvironment"));
    message << QVariant::fromValue(values);
    const QDBusMessage reply = bus().call(message, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        fail(QStringLiteral("the bus refused the environment: ") + reply.errorMessage());
        return false;
    }
    return true;
}

std::optional<QString> DesktopSession::run(const QString &program, const QStringList &arguments,
                                           std::chrono::milliseconds timeout,
                                           const QProcessEnvironment &environment) const
{
    QProcess process;
    process.setProcessEnvironment(environment.isEmpty() ? m_environment : environment);
    // The test process may serve the clipboard itself: its event loop keeps turning meanwhile.
    process.start(program, arguments);
    waitUntil([&] { return process.state() == QProcess::NotRunning; }, timeout);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return std::nullopt;
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

std::optional<QString> DesktopSession::clipboardText(std::chrono::milliseconds timeout) const
{
    return run(QStringLiteral("wl-paste"),
               {QStringLiteral("--no-newline"), QStringLiteral("--type"), QStringLiteral("text")},
               timeout);
}

QImage DesktopSession::screenshotWith(const QString &program, const QStringList &arguments,
                                      const QProcessEnvironment &environment)
{
    const QString file = folder() + QStringLiteral("/screen.png");
    QFile::remove(file);
    run(program, arguments + QStringList{file}, std::chrono::seconds(20), environment);
    return QImage(file);
}

} // namespace KeloTest
