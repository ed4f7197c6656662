#pragma once

#include <cstdint>

namespace KeloPlatform {

// Key presses synthesized for the whole session, the way a user's keyboard would send them; they
// reach whichever window has the focus. Main thread only.
namespace SyntheticKeys {

// Whether this session accepts synthetic key presses (on X11: the XTEST extension is there).
[[nodiscard]] bool isAvailable();

// Presses and releases the key at `evdevCode` with Control held and no other modifier: modifier
// keys the user still holds are released first, so that Shift or Alt do not turn Ctrl+V into
// another shortcut. False when nothing could be sent.
bool sendWithControl(uint32_t evdevCode);

// Test seam: while alive, the session behaves as if it had no synthetic keys.
class ScopedUnavailable
{
public:
    ScopedUnavailable();
    ~ScopedUnavailable();
    ScopedUnavailable(const ScopedUnavailable &) = delete;
    ScopedUnavailable &operator=(const ScopedUnavailable &) = delete;

private:
    bool m_wasUnavailable;
};

namespace detail {
// Set by ScopedUnavailable.
extern bool isForcedUnavailable;
} // namespace detail

} // namespace SyntheticKeys
} // namespace KeloPlatform
