// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloPlatform/KeyGrabber.h"

#include <cstdint>
#include <functional>

namespace KeloPlatform {

// Key presses synthesized for the whole session, the way a user's keyboard would send them; they
// reach whichever window has the focus. Main thread only.
class SyntheticKeys
{
public:
    virtual ~SyntheticKeys() = default;

    // Whether this session accepts synthetic key presses now (on X11: the XTEST extension is
    // there; under Wayland: the user allowed it through the desktop's remote control portal).
    // Cheap enough to poll.
    [[nodiscard]] virtual bool isAvailable() const = 0;

    // Whether this session can send key presses at all, now or once the user allows it. False
    // where no service for it exists (a Wayland desktop without a remote control portal): there
    // is nothing to ask the user for.
    [[nodiscard]] virtual bool isSupported() const { return true; }

    // Whether a permission the user gave lasts beyond this run of the application, so that it is
    // not asked again at the next start.
    [[nodiscard]] virtual bool isKeptAcrossStarts() const { return true; }

    // Asks the user to allow synthetic key presses where the session asks first; the answer is
    // not awaited: isAvailable() turns true once it is given.
    virtual void requestAccess() {}

    // Whether the desktop's dialog that asks the user is open now: from requestAccess() until
    // the desktop answers (or gives up).
    [[nodiscard]] virtual bool isAsking() const { return false; }
    // Called when isAsking() changes, on the main thread.
    std::function<void(bool isAsking)> onAskingChanged;

    // Presses and releases the key at `evdevCode` with Control held and no other modifier:
    // modifier keys the user still holds are released first, so that Shift or Alt do not turn
    // Ctrl+V into another shortcut. False when nothing could be sent.
    virtual bool sendWithControl(uint32_t evdevCode) = 0;

    // Presses Ctrl with the key that types `character` (a letter). Sessions that take key symbols
    // find that key on their own layout; the others press `evdevCode`, the caller's reading of
    // the layout.
    virtual bool sendCharacterWithControl(char32_t character, uint32_t evdevCode)
    {
        (void)character;
        return sendWithControl(evdevCode);
    }

    // Presses the chord's key with exactly its modifiers held, releasing any other modifier key
    // the user still holds first. Sessions that can only send Control with a key answer false for
    // any other chord, and send nothing.
    virtual bool sendChord(const KeyChord &chord)
    {
        if (chord.hasControl && !chord.hasShift && !chord.hasAlt && !chord.hasSuper) {
            return sendWithControl(chord.evdevCode);
        }
        return false;
    }
};

} // namespace KeloPlatform
