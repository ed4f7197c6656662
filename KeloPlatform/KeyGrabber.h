#pragma once

#include <cstdint>
#include <functional>

namespace KeloPlatform {

// A key with the modifiers that must be held with it, by position (evdev code), independent of
// the keyboard layout. Lock keys (Caps Lock, Num Lock) never matter.
struct KeyChord
{
    uint32_t evdevCode = 0;
    bool hasControl = false;
    bool hasAlt = false;
    bool hasShift = false;
    bool hasSuper = false;

    bool operator==(const KeyChord &) const = default;
};

// Takes key chords for the whole session, so they reach this application whichever window has
// the focus. Main thread only.
class KeyGrabber
{
public:
    virtual ~KeyGrabber() = default;

    // Takes the chord under the caller's number; false when another client already holds it,
    // the key does not exist, or this session allows no global keys. A failed grab leaves
    // nothing taken.
    [[nodiscard]] virtual bool grab(uint32_t id, const KeyChord &chord) = 0;

    // Gives the chord taken under this number back; unknown numbers are ignored.
    virtual void release(uint32_t id) = 0;

    // Called on the main thread, from inside event processing, with the number of the chord
    // pressed; once per press, not for auto-repeat.
    std::function<void(uint32_t id)> onPressed;
};

} // namespace KeloPlatform
