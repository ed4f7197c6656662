// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

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

// How a grab that was asked for settled.
struct GrabAnswer
{
    bool isTaken = false;
    // How the desktop describes the trigger it bound, in its own words ("Ctrl+Shift+2"); empty
    // when it does not say. The user may have chosen another trigger than the one asked for.
    QString trigger;
    // Why the grab was refused, for the log.
    QString reason;

    bool operator==(const GrabAnswer &) const = default;
};

// Takes key chords for the whole session, so they reach this application whichever window has
// the focus. Main thread only.
class KeyGrabber
{
public:
    virtual ~KeyGrabber() = default;

    // Whether this session lets applications have global shortcuts at all. Where it does not,
    // the user binds a desktop shortcut to the command line instead.
    [[nodiscard]] virtual bool isAvailable() const { return true; }

    // Whether grab() only asks, and the answer comes later through onAnswered (a desktop that
    // shows the user a dialog first), instead of answering at once.
    [[nodiscard]] virtual bool answersLater() const { return false; }

    // Takes the chord under the caller's number; false when another client already holds it,
    // the key does not exist, or this session allows no global keys. A failed grab leaves
    // nothing taken. A grabber that answers later returns true once it has asked.
    [[nodiscard]] virtual bool grab(uint32_t id, const KeyChord &chord) = 0;

    // Gives the chord taken under this number back; unknown numbers are ignored.
    virtual void release(uint32_t id) = 0;

    // Called on the main thread, from inside event processing, with the number of the chord
    // pressed; once per press, not for auto-repeat.
    std::function<void(uint32_t id)> onPressed;

    // Called on the main thread, once per grab that answers later, when the desktop has answered
    // (or given up). A refused grab is already given back; releasing it again does nothing.
    std::function<void(uint32_t id, const GrabAnswer &answer)> onAnswered;
};

} // namespace KeloPlatform
