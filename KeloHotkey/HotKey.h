#pragma once

#include "KeloHotkey/HotKeyCombo.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace KeloPlatform {
class KeyGrabber;
}

// Keeps one key combination registered with the window system for as long as it lives and runs
// its action on the main thread, in a later turn of the event loop, once per press. Main thread
// only. To change a shortcut, create the new HotKey first and drop the old one once that worked,
// so a failed change leaves the old shortcut working.
class HotKey
{
public:
    // Absent when the combination cannot be registered: another application holds it, the key
    // has no counterpart here, or the session has no global shortcuts (no X server).
    [[nodiscard]] static std::unique_ptr<HotKey> create(const HotKeyCombo &combo,
                                                        std::function<void()> action);
    ~HotKey();
    HotKey(const HotKey &) = delete;
    HotKey &operator=(const HotKey &) = delete;

    // This registration's number inside the process: from 1, one per creation attempt, never
    // reused, so a press queued for a destroyed HotKey cannot reach a newer one.
    [[nodiscard]] uint32_t id() const { return m_id; }
    [[nodiscard]] const HotKeyCombo &combo() const { return m_combo; }

    // While alive, new HotKeys register through the given grabber instead of the session's own
    // (tests; other shortcut services). HotKeys keep the grabber they registered with.
    class ScopedGrabber
    {
    public:
        explicit ScopedGrabber(std::shared_ptr<KeloPlatform::KeyGrabber> grabber);
        ~ScopedGrabber();
        ScopedGrabber(const ScopedGrabber &) = delete;
        ScopedGrabber &operator=(const ScopedGrabber &) = delete;

    private:
        std::shared_ptr<KeloPlatform::KeyGrabber> m_previous;
    };

private:
    HotKey(uint32_t id, const HotKeyCombo &combo,
           std::shared_ptr<KeloPlatform::KeyGrabber> grabber);

    uint32_t m_id;
    HotKeyCombo m_combo;
    std::shared_ptr<KeloPlatform::KeyGrabber> m_grabber;
};
