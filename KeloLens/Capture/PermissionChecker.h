// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the session says about this process reading the screen.
enum class ScreenAccess {
    // Every client may read the screen (X11, or a tool that needs no permission).
    notNeeded,
    // The desktop asks the user at the first capture; nothing is stored yet.
    askedAtCapture,
    // The user allowed it, and the desktop keeps that answer.
    allowed,
    // The user refused, and the desktop keeps that answer: captures fail until it is forgotten.
    refused,
};

// Whether this process may read other applications' windows, and how to ask for it. The capture
// flow, onboarding and the settings page hold one of these so tests can script the answer.
class PermissionChecker
{
public:
    virtual ~PermissionChecker() = default;

    // Asked again at each read; nothing is cached.
    [[nodiscard]] virtual bool isScreenRecordingGranted() const = 0;
    // The state behind that answer, in the session's terms.
    [[nodiscard]] virtual ScreenAccess screenAccess() const
    {
        return isScreenRecordingGranted() ? ScreenAccess::notNeeded : ScreenAccess::refused;
    }
    // Whether requestScreenRecording() can do anything here: a refusal is stored, and the desktop
    // lets it be forgotten.
    [[nodiscard]] virtual bool canRequestScreenRecording() const { return false; }
    // Asks for access the way the session allows: forgets a stored refusal, so that the desktop
    // asks the user again at the next capture. False when nothing changed.
    virtual bool requestScreenRecording() { return false; }
    // True where access counts as granted only because the desktop asks at the first capture
    // (nothing is stored yet), so that onboarding can say so.
    [[nodiscard]] bool isAskedAtCapture() const
    {
        return screenAccess() == ScreenAccess::askedAtCapture;
    }
};
