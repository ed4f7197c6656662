// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/PortalBus.h"

#include "support/TestSupport.h"
#include "support/X11Harness.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

namespace KeloTest {
namespace {

constexpr auto frontEnd = "/usr/libexec/xdg-desktop-portal";
constexpr auto permissionStore = "/usr/libexec/xdg-permission-store";
const QString mockName = QStringLiteral("org.freedesktop.impl.portal.desktop.kelotest");

bool writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

QByteArray serviceFile(const char *name, const char *exec)
{
    return QByteArray("[D-BUS Service]\nName=") + name + "\nExec=" + exec + "\n";
}

} // namespace

PortalBus::PortalBus()
{
    for (const char *program : {frontEnd, permissionStore}) {
        if (!QFileInfo(QString::fromLatin1(program)).isExecutable()) {
            m_problem = QStringLiteral("%1 is not installed (apt install xdg-desktop-portal)")
                            .arg(QString::fromLatin1(program));
            return;
        }
    }
    const QString root = m_dir.path();
    const QString services = root + QStringLiteral("/services");
    const QString portals = root + QStringLiteral("/portals");
    for (const QString &folder : {services, portals, root + QStringLiteral("/data")}) {
        QDir().mkpath(folder);
    }
    const QByteArray config =
        "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
        " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
        "<busconfig><type>session</type><listen>unix:dir=" +
        root.toUtf8() + "</listen><servicedir>" + services.toUtf8() +
        "</servicedir><auth>EXTERNAL</auth><policy context=\"default\">"
        "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
        "<allow own=\"*\"/></policy></busconfig>\n";
    const QByteArray portal = "[portal]\nDBusName=" + mockName.toUtf8() +
                              "\nInterfaces=org.freedesktop.impl.portal.Access;"
                              "org.freedesktop.impl.portal.Screenshot;"
                              "org.freedesktop.impl.portal.GlobalShortcuts;"
                              "org.freedesktop.impl.portal.RemoteDesktop;\nUseIn=kelotest\n";
    if (!writeFile(root + QStringLiteral("/bus.conf"), config) ||
        !writeFile(portals + QStringLiteral("/kelotest.portal"), portal) ||
        !writeFile(services + QStringLiteral("/portal.service"),
                   serviceFile("org.freedesktop.portal.Desktop", frontEnd)) ||
        !writeFile(services + QStringLiteral("/store.service"),
                   serviceFile("org.freedesktop.impl.portal.PermissionStore", permissionStore))) {
        m_problem = QStringLiteral("cannot write the bus configuration");
        return;
    }

    // Services the bus starts inherit its environment: the portal finds our back end by the
    // desktop name, and the store keeps its data here.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DESKTOP_PORTAL_DIR"), portals);
    environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("kelotest"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), root + QStringLiteral("/data"));
    environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    m_daemon.setProcessEnvironment(environment);
    m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--config-file=") + root + QStringLiteral("/bus.conf"),
                    QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    if (!m_daemon.waitForStarted() || !m_daemon.waitForReadyRead(5000)) {
        m_problem = QStringLiteral("dbus-daemon did not start");
        return;
    }
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();

    m_mock.setProcessEnvironment(this->environment());
    m_mock.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_mock.start(helperProgram(QStringLiteral("KeloPlatform/kelo-mock-portal")), {});
    if (!m_mock.waitForReadyRead(5000) || !m_mock.readLine().startsWith("ready")) {
        m_problem = QStringLiteral("kelo-mock-portal did not start");
        return;
    }
    m_connectionName = QStringLiteral("kelo-test-") + QUuid::createUuid().toString();
    const QDBusConnection bus = QDBusConnection::connectToBus(m_address, m_connectionName);
    if (!bus.isConnected()) {
        m_problem =
            QStringLiteral("cannot connect to the private bus: ") + bus.lastError().message();
        return;
    }
    m_bus = bus;
}

PortalBus::~PortalBus()
{
    if (!m_connectionName.isEmpty()) {
        m_bus.reset();
        QDBusConnection::disconnectFromBus(m_connectionName);
    }
    for (QProcess *process : {&m_mock, &m_daemon}) {
        if (process->state() != QProcess::NotRunning) {
            process->terminate();
            if (!process->waitForFinished(3000)) {
                process->kill();
                process->waitForFinished();
            }
        }
    }
}

QProcessEnvironment PortalBus::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
    return environment;
}

QDBusMessage PortalBus::callMock(const QString &method, const QVariantList &arguments) const
{
    QDBusMessage message =
        QDBusMessage::createMethodCall(mockName, QStringLiteral("/app/kelolens/MockPortal"),
                                       QStringLiteral("app.kelolens.MockPortal"), method);
    message.setArguments(arguments);
    return m_bus->call(message, QDBus::Block, 5000);
}

void PortalBus::setAnswer(const QString &method, const QString &answer)
{
    callMock(QStringLiteral("SetAnswer"), {method, answer});
}

void PortalBus::setScreenshotFile(const QString &path, bool isFresh)
{
    callMock(QStringLiteral("SetScreenshotFile"), {path, isFresh});
}

QStringList PortalBus::calls() const
{
    const QDBusMessage reply = callMock(QStringLiteral("Calls"), {});
    return reply.arguments().value(0).toStringList();
}

void PortalBus::activate(const QString &shortcut)
{
    callMock(QStringLiteral("Activate"), {shortcut});
}

void PortalBus::closeSessions()
{
    callMock(QStringLiteral("CloseSessions"), {});
}

bool PortalBus::storeScreenshotPermission(const QString &appId, const QString &permission)
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.impl.portal.PermissionStore"),
        QStringLiteral("/org/freedesktop/impl/portal/PermissionStore"),
        QStringLiteral("org.freedesktop.impl.portal.PermissionStore"),
        QStringLiteral("SetPermission"));
    message << QStringLiteral("screenshot") << true << QStringLiteral("screenshot") << appId
            << QStringList{permission};
    return m_bus->call(message, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage;
}

} // namespace KeloTest
