// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/portal/ApplicationScope.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QThread>

#include <unistd.h>

namespace KeloPlatform::portal {
namespace {

Q_LOGGING_CATEGORY(lcScope, "kelolens.platform.scope")

// One property of a transient unit, (sv).
struct UnitProperty
{
    QString name;
    QDBusVariant value;
};

QDBusArgument &operator<<(QDBusArgument &argument, const UnitProperty &property)
{
    argument.beginStructure();
    argument << property.name << property.value;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, UnitProperty &property)
{
    argument.beginStructure();
    argument >> property.name >> property.value;
    argument.endStructure();
    return argument;
}

// An auxiliary unit, (sa(sv)): none are sent, but the call's signature needs the type.
struct AuxiliaryUnit
{
    QString name;
    QList<UnitProperty> properties;
};

QDBusArgument &operator<<(QDBusArgument &argument, const AuxiliaryUnit &unit)
{
    argument.beginStructure();
    argument << unit.name << unit.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, AuxiliaryUnit &unit)
{
    argument.beginStructure();
    argument >> unit.name >> unit.properties;
    argument.endStructure();
    return argument;
}

// The application's unit in the process's cgroup list (the text of /proc/self/cgroup), empty
// when it is in none.
QString applicationUnit(const QString &cgroups)
{
    // The unified hierarchy ("0::") holds systemd's units; a legacy system has them under
    // "name=systemd".
    for (const QString &prefix : {QStringLiteral("0::"), QStringLiteral("1:name=systemd:")}) {
        for (const QString &line : cgroups.split(u'\n', Qt::SkipEmptyParts)) {
            if (!line.startsWith(prefix)) {
                continue;
            }
            const QString unit = line.section(u'/', -1);
            const bool isApplication = unit.startsWith(QStringLiteral("app-")) &&
                                       (unit.endsWith(QStringLiteral(".scope")) ||
                                        unit.endsWith(QStringLiteral(".service")));
            return isApplication ? unit : QString();
        }
    }
    return {};
}

QString ownCgroups()
{
    QFile file(QStringLiteral("/proc/self/cgroup"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
}

} // namespace
} // namespace KeloPlatform::portal

Q_DECLARE_METATYPE(KeloPlatform::portal::UnitProperty)
Q_DECLARE_METATYPE(KeloPlatform::portal::AuxiliaryUnit)

namespace KeloPlatform::portal {

QString joinApplicationScope(const QDBusConnection &bus)
{
    const QString current = applicationUnit(ownCgroups());
    if (!current.isEmpty()) {
        return current;
    }
    qDBusRegisterMetaType<UnitProperty>();
    qDBusRegisterMetaType<QList<UnitProperty>>();
    qDBusRegisterMetaType<AuxiliaryUnit>();
    qDBusRegisterMetaType<QList<AuxiliaryUnit>>();
    const uint pid = uint(::getpid());
    const QString unit =
        QStringLiteral("app-%1-%2.scope").arg(QString::fromLatin1(applicationId)).arg(pid);
    const QList<UnitProperty> properties{
        {QStringLiteral("PIDs"), QDBusVariant(QVariant::fromValue(QList<uint>{pid}))},
        {QStringLiteral("Description"), QDBusVariant(QStringLiteral("KeloLens"))},
        // Gone with the process, also when it ends badly.
        {QStringLiteral("CollectMode"), QDBusVariant(QStringLiteral("inactive-or-failed"))}};
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.systemd1"), QStringLiteral("/org/freedesktop/systemd1"),
        QStringLiteral("org.freedesktop.systemd1.Manager"), QStringLiteral("StartTransientUnit"));
    message << unit << QStringLiteral("fail") << QVariant::fromValue(properties)
            << QVariant::fromValue(QList<AuxiliaryUnit>());
    const QDBusMessage reply =
        bus.isConnected() ? bus.call(message, QDBus::Block, 2000) : QDBusMessage();
    if (reply.type() != QDBusMessage::ReplyMessage) {
        qCWarning(lcScope).noquote()
            << QStringLiteral("KeloLens: cannot run in a systemd scope of its own (%1), so the "
                              "desktop knows it by no app id: a shortcut set in the desktop's "
                              "settings, or the paste permission, may not be kept between runs")
                   .arg(reply.errorMessage().isEmpty() ? QStringLiteral("no session bus")
                                                       : reply.errorMessage());
        return {};
    }
    // The manager moves the process when the job runs, a moment after it answered; the portals
    // must not see it before that.
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 2000) {
        if (applicationUnit(ownCgroups()) == unit) {
            return unit;
        }
        QThread::msleep(10);
    }
    qCWarning(lcScope).noquote()
        << QStringLiteral("KeloLens: the scope %1 was made, but this process did not arrive in it")
               .arg(unit);
    return {};
}

} // namespace KeloPlatform::portal
