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
    const QString sessionToken = portal::newHandleToken();
    QVariantMap options;
    options.insert(QStringLiteral("session_handle_token"), sessionToken);
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
        bind(id, path);
    };
    m_bindings.emplace(id, std::move(binding));
    request->start();
    return true;
}

void PortalKeyGrabber::bind(uint32_t id, const QString &sessionPath)
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

    QVariantMap properties;
    properties.insert(QStringLiteral("description"), QStringLiteral("Capture text on the screen"));
    properties.insert(QStringLiteral("preferred_trigger"), binding.trigger);
    const PortalShortcutList shortcuts{{QString::fromLatin1(shortcutId), properties}};
    // The finished CreateSession request is still running its callback: let it go later.
    binding.request.release()->deleteLater();
    binding.request = std::make_unique<PortalRequest>(
        m_bus, shortcutsInterface, QStringLiteral("BindShortcuts"),
        QVariantList{QVariant::fromValue(QDBusObjectPath(sessionPath)),
                     QVariant::fromValue(shortcuts), QString(), QVariantMap()},
        m_timeout);
    binding.request->onFinished = [this, id](const PortalResponse &response) {
        if (response.outcome != PortalResponse::Outcome::success) {
            settle(id, {false, {}, refusalReason(response)});
            return;
        }
        const auto bound =
            qdbus_cast<PortalShortcutList>(response.results.value(QStringLiteral("shortcuts")));
        for (const PortalShortcut &shortcut : bound) {
            if (shortcut.id != QLatin1String(shortcutId)) {
                continue;
            }
            const QString trigger =
                shortcut.properties.value(QStringLiteral("trigger_description")).toString();
            if (trigger.trimmed().isEmpty()) {
                break;
            }
            settle(id, {true, trigger, {}});
            return;
        }
        settle(id, {false, {}, QStringLiteral("the desktop bound the shortcut to no keys")});
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
