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
#include <QUuid>

#include <csignal>
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

} // namespace

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

DesktopSession::DesktopSession(QString name, QSize screenSize)
    : m_name(std::move(name)), m_screenSize(screenSize)
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
}

DesktopSession::~DesktopSession()
{
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
    if (!waitUntil(
            [&] {
                return bus().interface()->isServiceRegistered(
                    QStringLiteral("org.freedesktop.systemd1"));
            },
            std::chrono::seconds(10))) {
        fail(QStringLiteral("the stand-in user manager did not start: ") +
             logTail(QStringLiteral("user-manager")));
        return false;
    }
    return true;
}

void DesktopSession::stopAll()
{
    // Every process of the session: those started here, what they started, and daemons that
    // left their parents (now children of this process). Found before any is signalled, since a
    // process that ends hands its children on.
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
std::unique_ptr<DesktopSession> startKWin();
std::unique_ptr<DesktopSession> startGnome();

std::unique_ptr<DesktopSession> DesktopSession::start(const QString &name)
{
    if (name == u"sway") {
        return startSway();
    }
    if (name == u"kwin") {
        return startKWin();
    }
    if (name == u"gnome") {
        return startGnome();
    }
    return nullptr;
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

bool DesktopSession::isAlive() const
{
    return std::all_of(m_processes.begin(), m_processes.end(),
                       [](const auto &process) { return process->state() == QProcess::Running; });
}

bool DesktopSession::startBus(const QProcessEnvironment &environment, const QStringList &portals)
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
    m_busAddress = QStringLiteral("unix:path=") + socket;
    QProcessEnvironment busEnvironment = environment;
    busEnvironment.insert(QStringLiteral("XDG_DESKTOP_PORTAL_DIR"), portalDir);
    busEnvironment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_busAddress);
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
    if (!QDBusConnection::connectToBus(m_busAddress, m_busConnectionName).isConnected()) {
        fail(QStringLiteral("cannot connect to the session bus"));
        return false;
    }
    m_environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_busAddress);
    return true;
}

bool DesktopSession::updateActivationEnvironment(const QProcessEnvironment &variables)
{
    using Variables = QMap<QString, QString>;
    qDBusRegisterMetaType<Variables>();
    Variables values;
    for (const QString &key : variables.keys()) {
        values.insert(key, variables.value(key));
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

DesktopSession::XServer DesktopSession::xServerOfChild(qint64 parent,
                                                       std::chrono::milliseconds timeout)
{
    static const QRegularExpression display(QStringLiteral("^:(\\d+)$"));
    XServer found;
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
                        found.display = argument;
                    } else if (argument == u"-auth" && i + 1 < arguments.size()) {
                        found.authority = QString::fromLocal8Bit(arguments.at(i + 1));
                    }
                }
                return !found.display.isEmpty();
            }
            return false;
        },
        timeout);
    return found;
}

void DesktopSession::useXServer(const XServer &server)
{
    m_environment.insert(QStringLiteral("DISPLAY"), server.display);
    if (server.authority.isEmpty()) {
        m_environment.remove(QStringLiteral("XAUTHORITY"));
    } else {
        m_environment.insert(QStringLiteral("XAUTHORITY"), server.authority);
    }
}

bool DesktopSession::waitForSocket(const QString &socket, const QProcess &compositor,
                                   std::chrono::milliseconds timeout)
{
    const QString path = runtimeFolder() + u'/' + socket;
    return waitUntil(
               [&] { return QFile::exists(path) || compositor.state() == QProcess::NotRunning; },
               timeout) &&
           compositor.state() == QProcess::Running;
}

QString DesktopSession::run(const QString &program, const QStringList &arguments,
                            std::chrono::milliseconds timeout) const
{
    QProcess process;
    process.setProcessEnvironment(m_environment);
    process.start(program, arguments);
    waitUntil([&] { return process.state() == QProcess::NotRunning; }, timeout);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

std::optional<QString> DesktopSession::clipboardText(std::chrono::milliseconds timeout) const
{
    QProcess paste;
    paste.setProcessEnvironment(m_environment);
    // The test process may serve the clipboard itself: keep its event loop turning.
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

} // namespace KeloTest
