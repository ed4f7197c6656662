// SPDX-License-Identifier: GPL-3.0-or-later
// kelo-test-user-manager LIST: stands in for systemd's user manager on a session bus where there
// is none (a container runs no systemd): StartTransientUnit makes the scope's cgroup where
// systemd would (user.slice/user-UID.slice/user@UID.service/app.slice/NAME) and moves the given
// processes into it, so that the desktop portals read the unit from /proc/PID/cgroup as on a
// real session. Each cgroup made is written to LIST, for the test to remove at its end.

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <sys/statfs.h>
#include <unistd.h>

namespace {

constexpr long cgroup2Magic = 0x63677270;

// Where systemd keeps its own hierarchy: the unified one, mounted alone or beside the legacy ones.
QString cgroupRoot()
{
    struct statfs info
    {
    };
    if (::statfs("/sys/fs/cgroup/unified", &info) == 0 && long(info.f_type) == cgroup2Magic) {
        return QStringLiteral("/sys/fs/cgroup/unified");
    }
    return QStringLiteral("/sys/fs/cgroup");
}

} // namespace

// Answers StartTransientUnit(ssa(sv)a(sa(sv))) by hand: a typed slot would have to name the
// nested types.
class Manager : public QDBusVirtualObject
{
public:
    explicit Manager(QString list) : m_list(std::move(list)) {}

    QString introspect(const QString &) const override { return {}; }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.member() != u"StartTransientUnit" || message.arguments().size() < 3) {
            return false;
        }
        const QString name = message.arguments().at(0).toString();
        QList<uint> pids;
        const QDBusArgument properties = message.arguments().at(2).value<QDBusArgument>();
        properties.beginArray();
        while (!properties.atEnd()) {
            QString key;
            QDBusVariant value;
            properties.beginStructure();
            properties >> key >> value;
            properties.endStructure();
            if (key == u"PIDs") {
                value.variant().value<QDBusArgument>() >> pids;
            }
        }
        properties.endArray();
        const QString error = start(name, pids);
        if (!error.isEmpty()) {
            connection.send(message.createErrorReply(
                QStringLiteral("org.freedesktop.DBus.Error.Failed"), error));
            return true;
        }
        const uint job = ++m_jobs;
        const QDBusObjectPath path(QStringLiteral("/org/freedesktop/systemd1/job/%1").arg(job));
        connection.send(message.createReply(QVariant::fromValue(path)));
        QDBusMessage removed = QDBusMessage::createSignal(
            QStringLiteral("/org/freedesktop/systemd1"),
            QStringLiteral("org.freedesktop.systemd1.Manager"), QStringLiteral("JobRemoved"));
        removed << job << QVariant::fromValue(path) << name << QStringLiteral("done");
        connection.send(removed);
        return true;
    }

private:
    QString start(const QString &name, const QList<uint> &pids)
    {
        const uint uid = uint(::getuid());
        const QString folder =
            QStringLiteral("%1/user.slice/user-%2.slice/user@%2.service/app.slice/%3")
                .arg(cgroupRoot())
                .arg(uid)
                .arg(name);
        QFile list(m_list);
        if (!QDir().mkpath(folder) || !list.open(QIODevice::Append)) {
            return QStringLiteral("cannot make the cgroup ") + folder;
        }
        list.write(folder.toUtf8() + '\n');
        list.close();
        for (const uint pid : pids) {
            QFile procs(folder + QStringLiteral("/cgroup.procs"));
            if (!procs.open(QIODevice::WriteOnly) || procs.write(QByteArray::number(pid)) < 0) {
                return QStringLiteral("cannot move %1 into %2").arg(pid).arg(folder);
            }
        }
        return {};
    }

    QString m_list;
    uint m_jobs = 0;
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: kelo-test-user-manager LIST\n");
        return 2;
    }
    Manager manager(QString::fromLocal8Bit(argv[1]));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerVirtualObject(QStringLiteral("/org/freedesktop/systemd1"), &manager) ||
        !bus.registerService(QStringLiteral("org.freedesktop.systemd1"))) {
        std::fprintf(stderr, "kelo-test-user-manager: the name is taken\n");
        return 1;
    }
    return app.exec();
}
