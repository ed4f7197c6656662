// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Capture/SystemPermissionChecker.h"

#include <gtest/gtest.h>

TEST(SystemPermissionChecker, UnderX11ScreenAccessIsAlwaysInForce)
{
    SystemPermissionChecker checker;
    checker.requestScreenRecording();
    checker.openScreenRecordingSettings();
    EXPECT_TRUE(checker.isScreenRecordingGranted());
}
