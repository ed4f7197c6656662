// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/portal/PortalRequest.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QRandomGenerator>

namespace KeloPlatform::portal {
namespace {

const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString sessionInterface = QStringLiteral("org.freedesktop.portal.Session");

QString service()
{
    return QString::fromLatin1(desktopService);
}

} // namespace

QString newHandleToken()
{
    static uint counter = 0;
    return QStringLiteral("kelolens_%1_%2")
        .arg(++counter)
        .arg(QRandomGenerator::global()->generate() & 0xffffff);
}

QString handlePath(const QDBusConnection &bus, const QString &kind, const QString &token)
{
    // ":1.42" becomes "1_42".
    QString sender = bus.baseService();
    if (sender.startsWith(u':')) {
        sender.remove(0, 1);
    }
    sender.replace(u'.', u'_');
    return QStringLiteral("%1/%2/%3/%4").arg(QString::fromLatin1(desktopPath), kind, sender, token);
}

QString objectPathText(const QVariant &value)
{
    if (value.metaType() == QMetaType::fromType<QDBusObjectPath>()) {
        return value.value<QDBusObjectPath>().path();
    }
    return value.toString();
}

std::optional<uint> interfaceVersion(const QDBusConnection &bus, const QString &interface,
                                     std::chrono::milliseconds timeout)
{
    if (!bus.isConnected()) {
        return std::nullopt;
    }
    QDBusMessage message = QDBusMessage::createMethodCall(
        service(), QString::fromLatin1(desktopPath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    message << interface << QStringLiteral("version");
    const QDBusMessage reply = bus.call(message, QDBus::Block, int(timeout.count()));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return std::nullopt;
    }
    const QVariant value = reply.arguments().constFirst().value<QDBusVariant>().variant();
    bool isNumber = false;
    const uint version = value.toUInt(&isNumber);
    return isNumber ? std::optional(version) : std::nullopt;
}

PortalRequest::PortalRequest(QDBusConnection bus, QString interface, QString method,
                             QVariantList arguments, std::chrono::milliseconds timeout,
                             QObject *parent)
    : QObject(parent), m_bus(std::move(bus)), m_interface(std::move(interface)),
      m_method(std::move(method)), m_arguments(std::move(arguments)), m_timeout(timeout)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        closeOnPortal();
        finish({PortalResponse::Outcome::timedOut,
                {},
                QStringLiteral("%1.%2 got no answer within %3 s")
                    .arg(m_interface, m_method)
                    .arg(double(m_timeout.count()) / 1000.0)});
    });
}

PortalRequest::~PortalRequest()
{
    if (m_isStarted && !m_isFinished) {
        closeOnPortal();
    }
}

void PortalRequest::start()
{
    if (m_isStarted) {
        return;
    }
    m_isStarted = true;
    if (!m_bus.isConnected()) {
        finish({PortalResponse::Outcome::unreachable, {}, QStringLiteral("no session bus")});
        return;
    }
    const QString token = newHandleToken();
    QVariantMap options = m_arguments.isEmpty() ? QVariantMap() : m_arguments.takeLast().toMap();
    options.insert(QStringLiteral("handle_token"), token);
    m_arguments.append(options);
    m_path = handlePath(m_bus, QStringLiteral("request"), token);
    if (!subscribe(m_path)) {
        finish(
            {PortalResponse::Outcome::unreachable,
             {},
             QStringLiteral("cannot listen for the answer of %1.%2").arg(m_interface, m_method)});
        return;
    }

    QDBusMessage message = QDBusMessage::createMethodCall(
        service(), QString::fromLatin1(desktopPath), m_interface, m_method);
    message.setArguments(m_arguments);
    // The call itself returns at once with the handle; the answer comes as a signal, watched by
    // our own timer.
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher *call) {
                call->deleteLater();
                if (m_isFinished) {
                    return;
                }
                const QDBusPendingReply<QDBusObjectPath> reply = *call;
                if (reply.isError()) {
                    finish({PortalResponse::Outcome::unreachable,
                            {},
                            QStringLiteral("%1.%2: %3")
                                .arg(m_interface, m_method, reply.error().message())});
                    return;
                }
                // Portals before version 0.9 chose the path themselves.
                const QString path = reply.value().path();
                if (!path.isEmpty() && path != m_path) {
                    m_path = path;
                    if (!subscribe(m_path)) {
                        finish({PortalResponse::Outcome::unreachable,
                                {},
                                QStringLiteral("cannot listen for the answer of %1.%2")
                                    .arg(m_interface, m_method)});
                    }
                }
            });
    if (m_timeout.count() > 0) {
        m_timer.start(m_timeout);
    }
}

void PortalRequest::cancel()
{
    if (m_isStarted && !m_isFinished) {
        closeOnPortal();
    }
    m_isFinished = true;
    m_timer.stop();
    unsubscribe();
}

void PortalRequest::onResponse(uint code, const QVariantMap &results)
{
    switch (code) {
    case 0:
        finish({PortalResponse::Outcome::success, results, {}});
        break;
    case 1:
        finish({PortalResponse::Outcome::cancelled, results, {}});
        break;
    default:
        finish(
            {PortalResponse::Outcome::failed, results,
             QStringLiteral("%1.%2 ended with response %3").arg(m_interface, m_method).arg(code)});
    }
}

bool PortalRequest::subscribe(const QString &path)
{
    unsubscribe();
    if (!m_bus.connect(service(), path, requestInterface, QStringLiteral("Response"), this,
                       SLOT(onResponse(uint, QVariantMap)))) {
        return false;
    }
    m_subscribedPath = path;
    return true;
}

void PortalRequest::unsubscribe()
{
    if (m_subscribedPath.isEmpty()) {
        return;
    }
    m_bus.disconnect(service(), m_subscribedPath, requestInterface, QStringLiteral("Response"),
                     this, SLOT(onResponse(uint, QVariantMap)));
    m_subscribedPath.clear();
}

void PortalRequest::closeOnPortal()
{
    if (m_path.isEmpty() || !m_bus.isConnected()) {
        return;
    }
    m_bus.asyncCall(QDBusMessage::createMethodCall(service(), m_path, requestInterface,
                                                   QStringLiteral("Close")));
}

void PortalRequest::finish(PortalResponse response)
{
    if (m_isFinished) {
        return;
    }
    m_isFinished = true;
    m_timer.stop();
    unsubscribe();
    if (onFinished) {
        // A copy: the callback may destroy this request.
        const auto callback = onFinished;
        callback(response);
    }
}

void ResponseAwaiter::await_suspend(std::coroutine_handle<> handle)
{
    m_request->onFinished = [this, handle](const PortalResponse &response) {
        m_response = response;
        // Resumed from the event loop, not from inside the D-Bus dispatch that delivered it.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [handle] { handle.resume(); }, Qt::QueuedConnection);
    };
    m_request->start();
}

PortalSession::PortalSession(QDBusConnection bus, QString path, QObject *parent)
    : QObject(parent), m_bus(std::move(bus)), m_path(std::move(path))
{
    m_bus.connect(service(), m_path, sessionInterface, QStringLiteral("Closed"), this,
                  SLOT(onPortalClosed(QVariantMap)));
}

PortalSession::~PortalSession()
{
    close();
}

void PortalSession::close()
{
    if (m_isClosed) {
        return;
    }
    m_isClosed = true;
    m_bus.disconnect(service(), m_path, sessionInterface, QStringLiteral("Closed"), this,
                     SLOT(onPortalClosed(QVariantMap)));
    if (m_bus.isConnected()) {
        m_bus.asyncCall(QDBusMessage::createMethodCall(service(), m_path, sessionInterface,
                                                       QStringLiteral("Close")));
    }
}

void PortalSession::onPortalClosed(const QVariantMap &)
{
    if (m_isClosed) {
        return;
    }
    m_isClosed = true;
    m_bus.disconnect(service(), m_path, sessionInterface, QStringLiteral("Closed"), this,
                     SLOT(onPortalClosed(QVariantMap)));
    if (onClosed) {
        const auto callback = onClosed;
        callback();
    }
}

} // namespace KeloPlatform::portal
