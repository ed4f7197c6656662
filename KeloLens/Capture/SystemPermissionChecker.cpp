// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Capture/SystemPermissionChecker.h"

#include "KeloPlatform/ScreenshotService.h"

bool SystemPermissionChecker::isScreenRecordingGranted() const
{
    return m_screenshots == nullptr || m_screenshots->storedPermission().value_or(true);
}

bool SystemPermissionChecker::isAskedAtCapture() const
{
    return m_screenshots != nullptr && m_screenshots->isAvailable() &&
           !m_screenshots->storedPermission().has_value();
}

void SystemPermissionChecker::requestScreenRecording() {}

void SystemPermissionChecker::openScreenRecordingSettings() {}
