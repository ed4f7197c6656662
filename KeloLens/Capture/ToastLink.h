// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The action button a toast may carry; no link means a toast without a button.
enum class ToastLink {
    // Opens the system's screen access settings (shown as "Open Settings").
    screenRecordingSettings,
    // Opens the Recognition page of the settings, where language packs are installed (shown as
    // "Open Settings").
    recognitionSettings,
};
