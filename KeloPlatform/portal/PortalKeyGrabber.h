// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloPlatform/KeyGrabber.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>

#include <chrono>
#include <map>
#include <memory>
#include <optional>

namespace KeloPlatform {

class KeymapSource;

namespace portal {
class PortalRequest;
class PortalSession;
} // namespace portal

// Global shortcuts through the desktop's GlobalShortcuts portal (KDE Plasma 5.27 and later,
// GNOME 48 and later). Each grab is a portal session of its own binding one shortcut with the
// chord as the preferred trigger; the desktop may show the user a dialog first, and its answer of
// what it bound decides: a shortcut bound to any trigger is taken (the user may have chosen
// another one), one bound to none, or a dismissed dialog, is refused.
class PortalKeyGrabber final : public QObject, public KeyGrabber
{
    Q_OBJECT

public:
    // The id the shortcut has in the desktop's settings, and how it is described there.
    static constexpr auto shortcutId = "capture";
    static constexpr std::chrono::minutes defaultTimeout{2};

    // `keymap` names the key in the preferred trigger; it must outlive the grabber (may be null).
    PortalKeyGrabber(QDBusConnection bus, const KeymapSource *keymap,
                     std::chrono::milliseconds timeout = defaultTimeout);
    ~PortalKeyGrabber() override;

    [[nodiscard]] bool isAvailable() const override;
    [[nodiscard]] bool answersLater() const override { return true; }
    [[nodiscard]] bool grab(uint32_t id, const KeyChord &chord) override;
    void release(uint32_t id) override;

private Q_SLOTS:
    void onActivated(const QDBusMessage &message);

private:
    struct Binding
    {
        QString trigger;
        std::unique_ptr<portal::PortalRequest> request;
        std::unique_ptr<portal::PortalSession> session;
        bool isTaken = false;
    };

    // Binds the shortcut in the session, unless the desktop did when it made it (`trigger`).
    void bind(uint32_t id, const QString &sessionPath, const QString &trigger);
    void settle(uint32_t id, const GrabAnswer &answer);

    QDBusConnection m_bus;
    const KeymapSource *m_keymap;
    std::chrono::milliseconds m_timeout;
    mutable std::optional<bool> m_isAvailable;
    bool m_isFirstGrab = true;
    std::map<uint32_t, Binding> m_bindings;
};

} // namespace KeloPlatform
