#pragma once

#include "KeloHotkey/HotKeyCombo.h"

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
class HotKey
{
public:
    ~HotKey();
    HotKey(const HotKey &) = delete;
    HotKey &operator=(const HotKey &) = delete;

    // This registration's number among its center's: from 1, one per creation attempt, never
    // reused, so a press queued for a destroyed HotKey cannot reach a newer one.
    [[nodiscard]] uint32_t id() const { return m_id; }
    [[nodiscard]] const HotKeyCombo &combo() const { return m_combo; }

private:
    friend class HotKeyCenter;
    HotKey(uint32_t id, const HotKeyCombo &combo, std::shared_ptr<detail::HotKeyRegistry> registry);

    uint32_t m_id;
    HotKeyCombo m_combo;
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
    // has no counterpart here, or the session has no global shortcuts.
    [[nodiscard]] std::unique_ptr<HotKey> create(const HotKeyCombo &combo,
                                                 std::function<void()> action);

private:
    std::shared_ptr<detail::HotKeyRegistry> m_registry;
};
