// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/portal/PortalKeyGrabber.h"

#include "KeloPlatform/portal/PortalRequest.h"
#include "KeloPlatform/portal/ShortcutTrigger.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QLoggingCategory>

namespace {

// One shortcut as the GlobalShortcuts portal passes it: (sa{sv}).
struct PortalShortcut
{
    QString id;
    QVariantMap properties;
};
using PortalShortcutList = QList<PortalShortcut>;

QDBusArgument &operator<<(QDBusArgument &argument, const PortalShortcut &shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, PortalShortcut &shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

} // namespace

Q_DECLARE_METATYPE(PortalShortcut)

namespace KeloPlatform {
namespace {

Q_LOGGING_CATEGORY(lcShortcuts, "kelolens.platform.shortcuts")

using portal::PortalRequest;
using portal::PortalResponse;
using portal::PortalSession;

const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

QString refusalReason(const PortalResponse &response)
{
    switch (response.outcome) {
    case PortalResponse::Outcome::cancelled:
        return QStringLiteral("the user dismissed the desktop's shortcut dialog");
    case PortalResponse::Outcome::success:
        return {};
    default:
        return response.error;
    }
}

// The shortcut to bind, with the chord as the preferred trigger.
PortalShortcutList wantedShortcuts(const QString &trigger)
{
    QVariantMap properties;
    properties.insert(QStringLiteral("description"), QStringLiteral("Capture text on the screen"));
    properties.insert(QStringLiteral("preferred_trigger"), trigger);
    return {{QString::fromLatin1(PortalKeyGrabber::shortcutId), properties}};
}

// How the desktop describes the trigger it bound our shortcut to, among the shortcuts a
// portal answer lists; empty when it bound none.
QString boundTrigger(const QVariantMap &results)
{
    const auto bound = qdbus_cast<PortalShortcutList>(results.value(QStringLiteral("shortcuts")));
    for (const PortalShortcut &shortcut : bound) {
        if (shortcut.id == QLatin1String(PortalKeyGrabber::shortcutId)) {
            return shortcut.properties.value(QStringLiteral("trigger_description"))
                .toString()
                .trimmed();
        }
    }
    return {};
}

} // namespace

PortalKeyGrabber::PortalKeyGrabber(QDBusConnection bus, const KeymapSource *keymap,
                                   std::chrono::milliseconds timeout)
    : m_bus(std::move(bus)), m_keymap(keymap), m_timeout(timeout)
{
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<PortalShortcutList>();
    m_bus.connect(QString::fromLatin1(portal::desktopService),
                  QString::fromLatin1(portal::desktopPath), shortcutsInterface,
                  QStringLiteral("Activated"), this, SLOT(onActivated(QDBusMessage)));
}

PortalKeyGrabber::~PortalKeyGrabber()
{
    m_bus.disconnect(QString::fromLatin1(portal::desktopService),
                     QString::fromLatin1(portal::desktopPath), shortcutsInterface,
                     QStringLiteral("Activated"), this, SLOT(onActivated(QDBusMessage)));
}

bool PortalKeyGrabber::isAvailable() const
{
    if (!m_isAvailable) {
        m_isAvailable = portal::interfaceVersion(m_bus, shortcutsInterface, std::chrono::seconds(3))
                            .has_value();
    }
    return *m_isAvailable;
}

bool PortalKeyGrabber::grab(uint32_t id, const KeyChord &chord)
{
    if (m_bindings.count(id) != 0 || !isAvailable()) {
        return false;
    }
    Binding binding;
    binding.trigger = shortcutTrigger(chord, m_keymap);
    if (binding.trigger.isEmpty()) {
        return false;
    }
    // The desktop may keep what it binds per session token (KDE names its shortcut component
    // after the application's id and the token): the first shortcut of every run asks with the
    // same token, so that a key the user set in the desktop's settings carries over.
    const QString sessionToken = std::exchange(m_isFirstGrab, false)
                                     ? QStringLiteral("kelolens_capture")
                                     : portal::newHandleToken();
    QVariantMap options;
    options.insert(QStringLiteral("session_handle_token"), sessionToken);
    // Desktops that bind when the session is made (KDE Plasma 5.27) take the shortcuts here.
    options.insert(QStringLiteral("shortcuts"),
                   QVariant::fromValue(wantedShortcuts(binding.trigger)));
    binding.request =
        std::make_unique<PortalRequest>(m_bus, shortcutsInterface, QStringLiteral("CreateSession"),
                                        QVariantList{options}, m_timeout);
    PortalRequest *request = binding.request.get();
    request->onFinished = [this, id, sessionToken](const PortalResponse &response) {
        if (response.outcome != PortalResponse::Outcome::success) {
            settle(id, {false, {}, refusalReason(response)});
            return;
        }
        QString path =
            portal::objectPathText(response.results.value(QStringLiteral("session_handle")));
        if (path.isEmpty()) {
            path = portal::handlePath(m_bus, QStringLiteral("session"), sessionToken);
        }
        bind(id, path, boundTrigger(response.results));
    };
    m_bindings.emplace(id, std::move(binding));
    request->start();
    return true;
}

void PortalKeyGrabber::bind(uint32_t id, const QString &sessionPath, const QString &trigger)
{
    const auto found = m_bindings.find(id);
    if (found == m_bindings.end()) {
        return;
    }
    Binding &binding = found->second;
    binding.session = std::make_unique<PortalSession>(m_bus, sessionPath);
    binding.session->onClosed = [id] {
        qCWarning(lcShortcuts).noquote()
            << QStringLiteral("KeloLens: the desktop ended the global shortcut session %1").arg(id);
    };
    // The finished CreateSession request is still running its callback: let it go later.
    binding.request.release()->deleteLater();
    if (!trigger.isEmpty()) {
        // Bound already, when the session was made. Asking again would only open the desktop's
        // shortcut settings (KDE Plasma 5.27 does), at every start.
        settle(id, {true, trigger, {}});
        return;
    }
    binding.request = std::make_unique<PortalRequest>(
        m_bus, shortcutsInterface, QStringLiteral("BindShortcuts"),
        QVariantList{QVariant::fromValue(QDBusObjectPath(sessionPath)),
                     QVariant::fromValue(wantedShortcuts(binding.trigger)), QString(),
                     QVariantMap()},
        m_timeout);
    binding.request->onFinished = [this, id](const PortalResponse &response) {
        if (response.outcome != PortalResponse::Outcome::success) {
            settle(id, {false, {}, refusalReason(response)});
            return;
        }
        const QString bound = boundTrigger(response.results);
        if (bound.isEmpty()) {
            settle(id, {false, {}, QStringLiteral("the desktop bound the shortcut to no keys")});
            return;
        }
        settle(id, {true, bound, {}});
    };
    binding.request->start();
}

void PortalKeyGrabber::settle(uint32_t id, const GrabAnswer &answer)
{
    const auto found = m_bindings.find(id);
    if (found == m_bindings.end()) {
        return;
    }
    if (found->second.request) {
        found->second.request.release()->deleteLater();
    }
    if (answer.isTaken) {
        found->second.isTaken = true;
    } else {
        qCWarning(lcShortcuts).noquote()
            << QStringLiteral("KeloLens: the desktop refused the global shortcut %1: %2")
                   .arg(found->second.trigger, answer.reason);
        m_bindings.erase(found);
    }
    if (onAnswered) {
        onAnswered(id, answer);
    }
}

void PortalKeyGrabber::release(uint32_t id)
{
    const auto found = m_bindings.find(id);
    if (found == m_bindings.end()) {
        return;
    }
    if (found->second.request) {
        found->second.request->cancel();
        found->second.request.release()->deleteLater();
    }
    m_bindings.erase(found);
}

void PortalKeyGrabber::onActivated(const QDBusMessage &message)
{
    // Taken as a whole message: a slot with typed arguments only connects once QtDBus knows
    // every type by name, which it may not yet when this grabber is made.
    const QVariantList arguments = message.arguments();
    const QString session = portal::objectPathText(arguments.value(0));
    if (arguments.value(1).toString() != QLatin1String(shortcutId)) {
        return;
    }
    for (const auto &[id, binding] : m_bindings) {
        if (binding.isTaken && binding.session && binding.session->path() == session) {
            const uint32_t pressed = id;
            if (onPressed) {
                onPressed(pressed);
            }
            return;
        }
    }
}

} // namespace KeloPlatform
