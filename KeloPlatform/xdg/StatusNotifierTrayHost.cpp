// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/xdg/StatusNotifierTrayHost.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

namespace KeloPlatform {
namespace {

const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString watcherInterface = QStringLiteral("org.kde.StatusNotifierWatcher");

} // namespace

StatusNotifierTrayHost::StatusNotifierTrayHost(QDBusConnection bus)
    : m_bus(std::move(bus)),
      m_watcher(new QDBusServiceWatcher(QString::fromLatin1(watcherService), m_bus,
                                        QDBusServiceWatcher::WatchForOwnerChange, this))
{
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            &StatusNotifierTrayHost::update);
    for (const char *signal : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"}) {
        m_bus.connect(QString::fromLatin1(watcherService), watcherPath, watcherInterface,
                      QString::fromLatin1(signal), this, SLOT(update()));
    }
    update();
}

void StatusNotifierTrayHost::update()
{
    if (!m_bus.isConnected()) {
        return;
    }
    // Asked without blocking: the watcher is another client, which may be slow or gone.
    QDBusMessage message = QDBusMessage::createMethodCall(
        QString::fromLatin1(watcherService), watcherPath,
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    message << watcherInterface << QStringLiteral("IsStatusNotifierHostRegistered");
    auto *call = new QDBusPendingCallWatcher(m_bus.asyncCall(message, 2000), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *done) {
        done->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *done;
        setAvailable(!reply.isError() && reply.value().variant().toBool());
    });
}

void StatusNotifierTrayHost::setAvailable(bool isAvailable)
{
    if (isAvailable == m_isAvailable) {
        return;
    }
    m_isAvailable = isAvailable;
    if (onAvailabilityChanged) {
        onAvailabilityChanged(isAvailable);
    }
}

} // namespace KeloPlatform
