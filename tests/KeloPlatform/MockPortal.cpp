// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for a desktop's portal back ends, driven by the tests over D-Bus. It implements the
// back-end side (org.freedesktop.impl.portal.*) of Screenshot, GlobalShortcuts and RemoteDesktop,
// and the Access dialog the front end needs before it offers screenshots, under the name
// org.freedesktop.impl.portal.desktop.kelotest, so that Debian's real xdg-desktop-portal front end
// sits between it and the code under test and checks what that code sends. Each answer is scripted
// through app.kelolens.MockPortal at /app/kelolens/MockPortal:
//   SetAnswer(s method, s answer)  method: Screenshot, BindShortcuts, Start (remote desktop),
//                                          AccessDialog
//                                  answer: success, cancel, fail, silent (never answers),
//                                          other-trigger, no-trigger (BindShortcuts only)
//   SetScreenshotFile(s path, b fresh)  the file a successful screenshot hands back: that file
//                                  itself, or (fresh) a copy made when the screenshot is taken
//   Calls() -> as                  what arrived, one line per call, oldest first
//   Activate(s shortcut)           presses a bound shortcut
//   CloseSessions()                ends every session, as a desktop does when the user revokes it
// It prints "ready" once its names are on the bus.

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QDateTime>
#include <QFile>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <QUrl>

#include <cstdio>

namespace {

struct Shortcut
{
    QString id;
    QVariantMap properties;
};
using ShortcutList = QList<Shortcut>;

QDBusArgument &operator<<(QDBusArgument &argument, const Shortcut &shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, Shortcut &shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

} // namespace

Q_DECLARE_METATYPE(Shortcut)

namespace {

const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString implPrefix = QStringLiteral("org.freedesktop.impl.portal.");

// The values of an a{sv} option map as "key=value" words, sorted, for the call log. Messages
// to a virtual object keep their maps as D-Bus arguments.
QString describe(const QVariant &argument)
{
    const auto options = qdbus_cast<QVariantMap>(argument);
    QStringList words;
    for (auto it = options.cbegin(); it != options.cend(); ++it) {
        QVariant value = it.value();
        if (value.canConvert<QDBusVariant>()) {
            value = value.value<QDBusVariant>().variant();
        }
        words << it.key() + u'=' + value.toString();
    }
    words.sort();
    return words.join(u' ');
}

class MockPortal : public QDBusVirtualObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "app.kelolens.MockPortal")

public:
    explicit MockPortal(QDBusConnection bus) : m_bus(std::move(bus)) {}

    QString introspect(const QString &) const override { return {}; }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &) override
    {
        const QString interface = message.interface();
        const QString member = message.member();
        const QVariantList args = message.arguments();
        if (interface == u"org.freedesktop.DBus.Properties") {
            return answerProperties(message);
        }
        if (member == u"Close" && (interface == implPrefix + QStringLiteral("Session") ||
                                   interface == implPrefix + QStringLiteral("Request"))) {
            log(interface.mid(implPrefix.size()) + QStringLiteral(".Close"));
            m_sessions.remove(message.path());
            reply(message, {});
            return true;
        }
        if (interface == implPrefix + QStringLiteral("Screenshot") && member == u"Screenshot") {
            log(QStringLiteral("Screenshot ") + describe(args.value(3)));
            QString file = m_screenshotFile;
            if (m_isScreenshotFresh) {
                file += QStringLiteral(".%1.png").arg(++m_screenshots);
                // Written anew, as a desktop writes its screenshot (a copy may keep the times).
                QFile source(m_screenshotFile);
                QFile target(file);
                if (source.open(QIODevice::ReadOnly) && target.open(QIODevice::WriteOnly)) {
                    target.write(source.readAll());
                }
            }
            respond(message, m_answers.value(QStringLiteral("Screenshot")),
                    {{QStringLiteral("uri"), QUrl::fromLocalFile(file).toString()}});
            return true;
        }
        if (interface == implPrefix + QStringLiteral("Access") && member == u"AccessDialog") {
            log(QStringLiteral("Access.AccessDialog"));
            respond(message, m_answers.value(QStringLiteral("AccessDialog")), {});
            return true;
        }
        if (interface == implPrefix + QStringLiteral("GlobalShortcuts")) {
            return handleShortcuts(message, member, args);
        }
        if (interface == implPrefix + QStringLiteral("RemoteDesktop")) {
            return handleRemoteDesktop(message, member, args);
        }
        return false;
    }

public Q_SLOTS:
    void SetAnswer(const QString &method, const QString &answer) { m_answers[method] = answer; }
    void SetScreenshotFile(const QString &path, bool isFresh)
    {
        m_screenshotFile = path;
        m_isScreenshotFresh = isFresh;
    }
    QStringList Calls() const { return m_calls; }

    void Activate(const QString &shortcut)
    {
        for (auto it = m_sessions.cbegin(); it != m_sessions.cend(); ++it) {
            if (!it.value().contains(shortcut)) {
                continue;
            }
            QDBusMessage signal = QDBusMessage::createSignal(
                portalPath, implPrefix + QStringLiteral("GlobalShortcuts"),
                QStringLiteral("Activated"));
            signal << QVariant::fromValue(QDBusObjectPath(it.key())) << shortcut
                   << qulonglong(QDateTime::currentMSecsSinceEpoch() * 1000) << QVariantMap();
            m_bus.send(signal);
        }
    }

    void CloseSessions()
    {
        for (auto it = m_sessions.cbegin(); it != m_sessions.cend(); ++it) {
            m_bus.send(QDBusMessage::createSignal(it.key(), implPrefix + QStringLiteral("Session"),
                                                  QStringLiteral("Closed")));
        }
        m_sessions.clear();
    }

private:
    void log(const QString &line) { m_calls << line; }

    void reply(const QDBusMessage &message, const QVariantList &values)
    {
        m_bus.send(message.createReply(values));
    }

    // Answers a request method with (response, results) as scripted: an unscripted method
    // succeeds; a silent one never answers, as a hung desktop would not.
    void respond(const QDBusMessage &message, const QString &answer, const QVariantMap &results)
    {
        if (answer == u"silent") {
            message.setDelayedReply(true);
            return;
        }
        uint response = 0;
        if (answer == u"cancel") {
            response = 1;
        } else if (answer == u"fail") {
            response = 2;
        }
        reply(message, {response, response == 0 ? results : QVariantMap()});
    }

    bool answerProperties(const QDBusMessage &message)
    {
        const QString interface = message.arguments().value(0).toString();
        QVariantMap properties;
        if (interface == implPrefix + QStringLiteral("Screenshot")) {
            properties.insert(QStringLiteral("version"), 2u);
        } else if (interface == implPrefix + QStringLiteral("GlobalShortcuts")) {
            properties.insert(QStringLiteral("version"), 1u);
        } else if (interface == implPrefix + QStringLiteral("RemoteDesktop")) {
            properties.insert(QStringLiteral("version"), 1u);
            properties.insert(QStringLiteral("AvailableDeviceTypes"), 3u);
        }
        if (message.member() == u"GetAll") {
            reply(message, {properties});
            return true;
        }
        const QString name = message.arguments().value(1).toString();
        if (!properties.contains(name)) {
            m_bus.send(message.createErrorReply(QDBusError::UnknownProperty, name));
            return true;
        }
        reply(message, {QVariant::fromValue(QDBusVariant(properties.value(name)))});
        return true;
    }

    bool handleShortcuts(const QDBusMessage &message, const QString &member,
                         const QVariantList &args)
    {
        const QString session = args.value(1).value<QDBusObjectPath>().path();
        if (member == u"CreateSession") {
            log(QStringLiteral("GlobalShortcuts.CreateSession"));
            m_sessions.insert(session, {});
            reply(message, {0u, QVariantMap{{QStringLiteral("session_id"), session}}});
            return true;
        }
        if (member == u"BindShortcuts") {
            const auto requested = qdbus_cast<ShortcutList>(args.value(2));
            const QString answer = m_answers.value(QStringLiteral("BindShortcuts"));
            ShortcutList bound;
            for (const Shortcut &shortcut : requested) {
                const QString preferred =
                    shortcut.properties.value(QStringLiteral("preferred_trigger")).toString();
                log(QStringLiteral("GlobalShortcuts.BindShortcuts %1 %2")
                        .arg(shortcut.id, preferred));
                QString trigger = preferred;
                if (answer == u"other-trigger") {
                    trigger = QStringLiteral("Ctrl+Alt+K");
                } else if (answer == u"no-trigger") {
                    trigger.clear();
                }
                QVariantMap properties = shortcut.properties;
                properties.remove(QStringLiteral("preferred_trigger"));
                properties.insert(QStringLiteral("trigger_description"), trigger);
                bound.append({shortcut.id, properties});
                m_sessions[session].append(shortcut.id);
            }
            respond(message, answer, {{QStringLiteral("shortcuts"), QVariant::fromValue(bound)}});
            return true;
        }
        if (member == u"ListShortcuts") {
            reply(message, {0u, QVariantMap()});
            return true;
        }
        return false;
    }

    bool handleRemoteDesktop(const QDBusMessage &message, const QString &member,
                             const QVariantList &args)
    {
        if (member == u"CreateSession") {
            log(QStringLiteral("RemoteDesktop.CreateSession"));
            m_sessions.insert(args.value(1).value<QDBusObjectPath>().path(), {});
            reply(message, {0u, QVariantMap()});
            return true;
        }
        if (member == u"SelectDevices") {
            log(QStringLiteral("RemoteDesktop.SelectDevices ") + describe(args.value(3)));
            reply(message, {0u, QVariantMap()});
            return true;
        }
        if (member == u"Start") {
            log(QStringLiteral("RemoteDesktop.Start"));
            respond(message, m_answers.value(QStringLiteral("Start")),
                    {{QStringLiteral("devices"), 1u}});
            return true;
        }
        if (member.startsWith(u"NotifyKeyboard")) {
            log(QStringLiteral("RemoteDesktop.%1 %2 %3")
                    .arg(member)
                    .arg(args.value(2).toInt())
                    .arg(args.value(3).toUInt()));
            reply(message, {});
            return true;
        }
        return false;
    }

    QDBusConnection m_bus;
    QMap<QString, QString> m_answers;
    QString m_screenshotFile;
    bool m_isScreenshotFresh = false;
    int m_screenshots = 0;
    QStringList m_calls;
    // Open sessions and the shortcuts bound in each.
    QMap<QString, QStringList> m_sessions;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qDBusRegisterMetaType<Shortcut>();
    qDBusRegisterMetaType<ShortcutList>();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "kelo-mock-portal: no session bus\n");
        return 1;
    }
    MockPortal portal(bus);
    const bool isRegistered =
        bus.registerVirtualObject(portalPath, &portal, QDBusConnection::SubPath) &&
        bus.registerObject(QStringLiteral("/app/kelolens/MockPortal"), &portal,
                           QDBusConnection::ExportAllSlots) &&
        bus.registerService(QStringLiteral("org.freedesktop.impl.portal.desktop.kelotest"));
    if (!isRegistered) {
        std::fprintf(stderr, "kelo-mock-portal: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}

#include "MockPortal.moc"
