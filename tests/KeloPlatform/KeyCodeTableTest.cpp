#include "KeloPlatform/KeyCodeTable.h"

#include <gtest/gtest.h>

using KeloPlatform::evdevCodeForMacKeyCode;
using KeloPlatform::macKeyCodeForEvdevCode;

TEST(KeyCodeTable, MapsTheAnsiKeysByPosition)
{
    // Letters, digits (the Mac's 5 and 6 are swapped relative to their order), punctuation.
    EXPECT_EQ(evdevCodeForMacKeyCode(0), 30u);   // A
    EXPECT_EQ(evdevCodeForMacKeyCode(9), 47u);   // V
    EXPECT_EQ(evdevCodeForMacKeyCode(12), 16u);  // Q
    EXPECT_EQ(evdevCodeForMacKeyCode(16), 21u);  // Y
    EXPECT_EQ(evdevCodeForMacKeyCode(17), 20u);  // T
    EXPECT_EQ(evdevCodeForMacKeyCode(19), 3u);   // 2
    EXPECT_EQ(evdevCodeForMacKeyCode(22), 7u);   // 6
    EXPECT_EQ(evdevCodeForMacKeyCode(23), 6u);   // 5
    EXPECT_EQ(evdevCodeForMacKeyCode(29), 11u);  // 0
    EXPECT_EQ(evdevCodeForMacKeyCode(42), 43u);  // backslash
    EXPECT_EQ(evdevCodeForMacKeyCode(47), 52u);  // period
    // Editing and navigation keys.
    EXPECT_EQ(evdevCodeForMacKeyCode(36), 28u);  // Return
    EXPECT_EQ(evdevCodeForMacKeyCode(48), 15u);  // Tab
    EXPECT_EQ(evdevCodeForMacKeyCode(49), 57u);  // Space
    EXPECT_EQ(evdevCodeForMacKeyCode(51), 14u);  // Delete is Backspace
    EXPECT_EQ(evdevCodeForMacKeyCode(53), 1u);   // Escape
    EXPECT_EQ(evdevCodeForMacKeyCode(117), 111u); // Forward Delete is Delete
    EXPECT_EQ(evdevCodeForMacKeyCode(115), 102u); // Home
    EXPECT_EQ(evdevCodeForMacKeyCode(119), 107u); // End
    EXPECT_EQ(evdevCodeForMacKeyCode(116), 104u); // Page Up
    EXPECT_EQ(evdevCodeForMacKeyCode(121), 109u); // Page Down
    EXPECT_EQ(evdevCodeForMacKeyCode(123), 105u); // Left
    EXPECT_EQ(evdevCodeForMacKeyCode(126), 103u); // Up
    // Function keys are scattered over the Mac's codes.
    const std::pair<uint16_t, uint32_t> functionKeys[] = {
        {122, 59}, {120, 60}, {99, 61}, {118, 62}, {96, 63}, {97, 64},
        {98, 65}, {100, 66}, {101, 67}, {109, 68}, {103, 87}, {111, 88}};
    for (const auto &[mac, evdev] : functionKeys) {
        EXPECT_EQ(evdevCodeForMacKeyCode(mac), evdev) << "Mac key code " << mac;
    }
}

TEST(KeyCodeTable, PinsTheKeysPublicTablesDisagreeOn)
{
    EXPECT_EQ(evdevCodeForMacKeyCode(10), 86u);   // ISO section is KEY_102ND, not KEY_GRAVE
    EXPECT_EQ(evdevCodeForMacKeyCode(50), 41u);   // grave accent is KEY_GRAVE
    EXPECT_EQ(evdevCodeForMacKeyCode(110), 127u); // context menu is KEY_COMPOSE
    EXPECT_EQ(evdevCodeForMacKeyCode(114), 110u); // Help is Insert
    EXPECT_EQ(evdevCodeForMacKeyCode(71), 69u);   // keypad Clear is Num Lock
    EXPECT_EQ(evdevCodeForMacKeyCode(55), 125u);  // Command is the left Super key
}

TEST(KeyCodeTable, HasNoKeyForUnusedCodesAndRoundTrips)
{
    for (uint16_t unused : {52, 63, 66, 68, 70, 77, 108, 112, 127, 128, 0xffff}) {
        EXPECT_EQ(evdevCodeForMacKeyCode(unused), std::nullopt) << "Mac key code " << unused;
    }
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
