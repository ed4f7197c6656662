// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Capture/SystemPermissionChecker.h"

#include "KeloPlatform/ScreenshotService.h"

bool SystemPermissionChecker::isScreenRecordingGranted() const
{
    return m_screenshots == nullptr || m_screenshots->storedPermission().value_or(true);
}

ScreenAccess SystemPermissionChecker::screenAccess() const
{
    if (m_screenshots == nullptr || !m_screenshots->isAvailable()) {
        return ScreenAccess::notNeeded;
    }
    const std::optional<bool> stored = m_screenshots->storedPermission();
    if (!stored) {
        return ScreenAccess::askedAtCapture;
    }
    return *stored ? ScreenAccess::allowed : ScreenAccess::refused;
}

bool SystemPermissionChecker::canRequestScreenRecording() const
{
    return m_screenshots != nullptr && m_screenshots->storedPermission() == false &&
           m_screenshots->canForgetRefusal();
}

bool SystemPermissionChecker::requestScreenRecording()
{
    return m_screenshots != nullptr && m_screenshots->forgetRefusal();
}
