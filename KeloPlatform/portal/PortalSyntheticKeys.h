// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloPlatform/SyntheticKeys.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QList>
#include <QObject>

#include <chrono>
#include <memory>
#include <optional>

namespace KeloPlatform {

namespace portal {
class PortalRequest;
class PortalSession;
} // namespace portal

// Key presses through the desktop's RemoteDesktop portal: a keyboard-only session the user
// allows once per run in the desktop's own dialog (requestAccess). Keys go to the window that
// has the focus, as a real keyboard's would.
class PortalSyntheticKeys final : public QObject, public SyntheticKeys
{
public:
    static constexpr std::chrono::minutes defaultTimeout{2};

    explicit PortalSyntheticKeys(QDBusConnection bus,
                                 std::chrono::milliseconds timeout = defaultTimeout);
    ~PortalSyntheticKeys() override;

    [[nodiscard]] bool isAvailable() const override;
    // Whether the desktop has the RemoteDesktop portal (asked once, then remembered).
    [[nodiscard]] bool isSupported() const override;
    // A remote control session ends with the application. Keeping it needs version 2 of the
    // portal's interface (a restore token); Debian 12's xdg-desktop-portal 1.16 offers version 1.
    [[nodiscard]] bool isKeptAcrossStarts() const override { return false; }
    // Creates the session, asks for the keyboard and starts it; the desktop shows its dialog.
    // Does nothing while a request is under way or once the keyboard is allowed.
    void requestAccess() override;
    [[nodiscard]] bool isAsking() const override { return m_isAsking; }
    // Key positions: Control (left) with the key.
    bool sendWithControl(uint32_t evdevCode) override;
    // Key symbols: Control_L with the character's symbol; the desktop finds the keys.
    bool sendCharacterWithControl(char32_t character, uint32_t evdevCode) override;

private:
    enum class Step { createSession, selectDevices, start };

    void run(Step step);
    void end(const QString &reason);
    void setAsking(bool isAsking);
    void notify(const QString &method, int key, bool isPressed);
    void sendNextKey();

    QDBusConnection m_bus;
    std::chrono::milliseconds m_timeout;
    std::unique_ptr<portal::PortalRequest> m_request;
    std::unique_ptr<portal::PortalSession> m_session;
    QString m_sessionToken;
    bool m_isKeyboardAllowed = false;
    bool m_isAsking = false;
    // Key events not yet sent; each goes once the portal has answered the one before.
    QList<QDBusMessage> m_keyEvents;
    bool m_isSendingKey = false;
    mutable std::optional<bool> m_isSupported;
};

} // namespace KeloPlatform
