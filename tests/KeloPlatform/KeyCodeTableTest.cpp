// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/KeyCodeTable.h"

#include <gtest/gtest.h>

using KeloPlatform::evdevCodeForMacKeyCode;
using KeloPlatform::macKeyCodeForEvdevCode;

TEST(KeyCodeTable, HasNoKeyForUnusedCodesAndRoundTrips)
{
    EXPECT_EQ(evdevCodeForMacKeyCode(0xffff), std::nullopt);
    EXPECT_EQ(macKeyCodeForEvdevCode(0), std::nullopt);
    EXPECT_EQ(macKeyCodeForEvdevCode(240), std::nullopt);
    EXPECT_EQ(macKeyCodeForEvdevCode(0xffffffff), std::nullopt);

    int mapped = 0;
    for (uint16_t mac = 0; mac < 128; ++mac) {
        if (const std::optional<uint32_t> evdev = evdevCodeForMacKeyCode(mac)) {
            ++mapped;
            EXPECT_EQ(macKeyCodeForEvdevCode(*evdev), mac) << "Mac key code " << mac;
            // X keycodes are one byte.
            EXPECT_LE(*evdev + KeloPlatform::xKeycodeOffset, 255u);
        }
    }
    EXPECT_EQ(mapped, 119);
}
