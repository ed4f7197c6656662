// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/portal/PortalSyntheticKeys.h"

#include "KeloPlatform/portal/PortalRequest.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QLoggingCategory>

namespace KeloPlatform {
namespace {

Q_LOGGING_CATEGORY(lcRemote, "kelolens.platform.keys")

using portal::PortalRequest;
using portal::PortalResponse;
using portal::PortalSession;

const QString remoteInterface = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
constexpr uint keyboardDevice = 1;
constexpr int leftControlEvdev = 29;
constexpr int controlLeftKeysym = 0xffe3;

// The key symbol of a character: Latin-1 symbols are the code points themselves, every other
// character has the Unicode range.
int keysymFor(char32_t character)
{
    if ((character >= 0x20 && character <= 0x7e) || (character >= 0xa0 && character <= 0xff)) {
        return int(character);
    }
    return int(0x01000000 | character);
}

} // namespace

PortalSyntheticKeys::PortalSyntheticKeys(QDBusConnection bus, std::chrono::milliseconds timeout)
    : m_bus(std::move(bus)), m_timeout(timeout)
{
}

PortalSyntheticKeys::~PortalSyntheticKeys() = default;

bool PortalSyntheticKeys::isAvailable() const
{
    return m_isKeyboardAllowed && m_session && !m_session->isClosed();
}

bool PortalSyntheticKeys::isSupported() const
{
    if (!m_isSupported) {
        m_isSupported =
            portal::interfaceVersion(m_bus, remoteInterface, std::chrono::seconds(3)).has_value();
    }
    return *m_isSupported;
}

void PortalSyntheticKeys::requestAccess()
{
    if (m_request || isAvailable()) {
        return;
    }
    qCInfo(lcRemote).noquote() << QStringLiteral(
        "KeloLens: asking the desktop to allow pasting by key presses");
    m_session.reset();
    m_isKeyboardAllowed = false;
    setAsking(true);
    run(Step::createSession);
}

void PortalSyntheticKeys::setAsking(bool isAsking)
{
    if (m_isAsking == isAsking) {
        return;
    }
    m_isAsking = isAsking;
    if (onAskingChanged) {
        onAskingChanged(isAsking);
    }
}

void PortalSyntheticKeys::run(Step step)
{
    QString method;
    QVariantList arguments;
    QVariantMap options;
    const QVariant session =
        m_session ? QVariant::fromValue(QDBusObjectPath(m_session->path())) : QVariant();
    switch (step) {
    case Step::createSession:
        m_sessionToken = portal::newHandleToken();
        options.insert(QStringLiteral("session_handle_token"), m_sessionToken);
        method = QStringLiteral("CreateSession");
        arguments = {options};
        break;
    case Step::selectDevices:
        options.insert(QStringLiteral("types"), keyboardDevice);
        method = QStringLiteral("SelectDevices");
        arguments = {session, options};
        break;
    case Step::start:
        method = QStringLiteral("Start");
        arguments = {session, QString(), options};
        break;
    }
    if (m_request) {
        // Still inside the finished request's callback.
        m_request.release()->deleteLater();
    }
    m_request =
        std::make_unique<PortalRequest>(m_bus, remoteInterface, method, arguments, m_timeout);
    m_request->onFinished = [this, step](const PortalResponse &response) {
        if (response.outcome == PortalResponse::Outcome::cancelled) {
            end(QStringLiteral("the user did not allow it"));
            return;
        }
        if (response.outcome != PortalResponse::Outcome::success) {
            end(response.error);
            return;
        }
        switch (step) {
        case Step::createSession: {
            QString path =
                portal::objectPathText(response.results.value(QStringLiteral("session_handle")));
            if (path.isEmpty()) {
                path = portal::handlePath(m_bus, QStringLiteral("session"), m_sessionToken);
            }
            m_session = std::make_unique<PortalSession>(m_bus, path);
            m_session->onClosed = [this] {
                m_isKeyboardAllowed = false;
                qCInfo(lcRemote).noquote()
                    << QStringLiteral("KeloLens: the desktop ended the keyboard session");
            };
            run(Step::selectDevices);
            return;
        }
        case Step::selectDevices:
            run(Step::start);
            return;
        case Step::start:
            m_request.release()->deleteLater();
            m_isKeyboardAllowed =
                (response.results.value(QStringLiteral("devices")).toUInt() & keyboardDevice) != 0;
            if (!m_isKeyboardAllowed) {
                end(QStringLiteral("the desktop allowed no keyboard"));
            } else {
                qCInfo(lcRemote).noquote()
                    << QStringLiteral("KeloLens: the desktop allows pasting by key presses");
            }
            setAsking(false);
            return;
        }
    };
    m_request->start();
}

void PortalSyntheticKeys::end(const QString &reason)
{
    qCWarning(lcRemote).noquote()
        << QStringLiteral("KeloLens: pasting by key presses is not allowed: %1").arg(reason);
    if (m_request) {
        m_request.release()->deleteLater();
    }
    m_session.reset();
    m_isKeyboardAllowed = false;
    setAsking(false);
}

void PortalSyntheticKeys::notify(const QString &method, int key, bool isPressed)
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        QString::fromLatin1(portal::desktopService), QString::fromLatin1(portal::desktopPath),
        remoteInterface, method);
    message << QVariant::fromValue(QDBusObjectPath(m_session->path())) << QVariantMap() << key
            << uint(isPressed ? 1 : 0);
    m_keyEvents.append(message);
    sendNextKey();
}

void PortalSyntheticKeys::sendNextKey()
{
    if (m_isSendingKey || m_keyEvents.isEmpty()) {
        return;
    }
    // The portal handles each call on a thread of its own, so calls sent at once may reach the
    // desktop in any order (Ctrl let go before V is pressed): the next key event goes only
    // after the portal answered the last one.
    m_isSendingKey = true;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(m_keyEvents.takeFirst()), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher *call) {
                call->deleteLater();
                m_isSendingKey = false;
                sendNextKey();
            });
}

bool PortalSyntheticKeys::sendWithControl(uint32_t evdevCode)
{
    if (!isAvailable()) {
        return false;
    }
    const QString method = QStringLiteral("NotifyKeyboardKeycode");
    notify(method, leftControlEvdev, true);
    notify(method, int(evdevCode), true);
    notify(method, int(evdevCode), false);
    notify(method, leftControlEvdev, false);
    return true;
}

bool PortalSyntheticKeys::sendCharacterWithControl(char32_t character, uint32_t)
{
    if (!isAvailable()) {
        return false;
    }
    const QString method = QStringLiteral("NotifyKeyboardKeysym");
    const int keysym = keysymFor(character);
    notify(method, controlLeftKeysym, true);
    notify(method, keysym, true);
    notify(method, keysym, false);
    notify(method, controlLeftKeysym, false);
    return true;
}

} // namespace KeloPlatform
