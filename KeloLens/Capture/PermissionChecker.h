// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Whether this process may read other applications' windows, and how to ask for it. The capture
// flow, onboarding and the settings page hold one of these so tests can script the answer.
class PermissionChecker
{
public:
    virtual ~PermissionChecker() = default;

    // Asked again at each read; nothing is cached.
    [[nodiscard]] virtual bool isScreenRecordingGranted() const = 0;
    // Asks the system for access; the answer is not awaited.
    virtual void requestScreenRecording() = 0;
    // Opens the system's settings page for screen access, where there is one.
    virtual void openScreenRecordingSettings() = 0;
    // True where access counts as granted only because the desktop asks at the first capture
    // (nothing is stored yet), so that onboarding can say so.
    [[nodiscard]] virtual bool isAskedAtCapture() const { return false; }
};
