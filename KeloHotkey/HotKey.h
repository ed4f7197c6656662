// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloHotkey/HotKeyCombo.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

namespace KeloPlatform {
class KeyGrabber;
}

namespace detail {
struct HotKeyRegistry;
}

// Keeps one key combination registered with the window system for as long as it lives and runs
// its action on the main thread, in a later turn of the event loop, once per press. Main thread
// only. To change a shortcut, create the new HotKey first and drop the old one once that worked,
// so a failed change leaves the old shortcut working.
//
// Some desktops answer a registration later (after showing the user a dialog): such a HotKey
// starts pending, and onSettled tells how it ended. A refusal there is what a taken combination
// is elsewhere.
class HotKey
{
public:
    enum class Registration { registered, pending, refused };

    ~HotKey();
    HotKey(const HotKey &) = delete;
    HotKey &operator=(const HotKey &) = delete;

    // This registration's number among its center's: from 1, one per creation attempt, never
    // reused, so a press queued for a destroyed HotKey cannot reach a newer one.
    [[nodiscard]] uint32_t id() const { return m_id; }
    [[nodiscard]] const HotKeyCombo &combo() const { return m_combo; }

    [[nodiscard]] Registration registration() const { return m_registration; }
    [[nodiscard]] bool isPending() const { return m_registration == Registration::pending; }
    // How the desktop describes the trigger it bound ("Ctrl+Shift+2"), which the user may have
    // chosen instead of the combination; empty where the desktop does not say.
    [[nodiscard]] const QString &boundTrigger() const { return m_boundTrigger; }

    // Called once, in a later turn of the event loop, when a pending registration settles: true
    // when the shortcut now works, false when the desktop refused it. A refused HotKey never
    // fires; drop it. Not called for HotKeys that were registered at once.
    std::function<void(bool isRegistered)> onSettled;

private:
    friend class HotKeyCenter;
    friend struct detail::HotKeyRegistry;
    HotKey(uint32_t id, const HotKeyCombo &combo, Registration registration,
           std::shared_ptr<detail::HotKeyRegistry> registry);

    uint32_t m_id;
    HotKeyCombo m_combo;
    Registration m_registration;
    QString m_boundTrigger;
    std::shared_ptr<detail::HotKeyRegistry> m_registry;
};

// Registers HotKeys through one key grabber and delivers its presses. The grabber must outlive
// the center; HotKeys may outlive it (they then simply stop firing).
class HotKeyCenter
{
public:
    explicit HotKeyCenter(KeloPlatform::KeyGrabber &grabber);
    ~HotKeyCenter();
    HotKeyCenter(const HotKeyCenter &) = delete;
    HotKeyCenter &operator=(const HotKeyCenter &) = delete;

    // Absent when the combination cannot be registered: another application holds it, the key
    // has no counterpart here, or the session has no global shortcuts. Where the desktop answers
    // later the HotKey is pending until it settles (see HotKey::onSettled).
    [[nodiscard]] std::unique_ptr<HotKey> create(const HotKeyCombo &combo,
                                                 std::function<void()> action);

    // Whether this session lets applications have global shortcuts at all. Where it does not,
    // the user binds a desktop shortcut to "kelolens --capture" instead.
    [[nodiscard]] bool hasGlobalShortcuts() const;

private:
    std::shared_ptr<detail::HotKeyRegistry> m_registry;
};
