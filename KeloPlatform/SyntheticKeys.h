#pragma once

#include <cstdint>

namespace KeloPlatform {

// Key presses synthesized for the whole session, the way a user's keyboard would send them; they
// reach whichever window has the focus. Main thread only.
class SyntheticKeys
{
public:
    virtual ~SyntheticKeys() = default;

    // Whether this session accepts synthetic key presses (on X11: the XTEST extension is there).
    // Cheap enough to poll.
    [[nodiscard]] virtual bool isAvailable() const = 0;

    // Presses and releases the key at `evdevCode` with Control held and no other modifier:
    // modifier keys the user still holds are released first, so that Shift or Alt do not turn
    // Ctrl+V into another shortcut. False when nothing could be sent.
    virtual bool sendWithControl(uint32_t evdevCode) = 0;
};

} // namespace KeloPlatform
