// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/KeyCodeTable.h"

#include <gtest/gtest.h>

using KeloPlatform::evdevCodeForMacKeyCode;
using KeloPlatform::macKeyCodeForEvdevCode;

// Letters, digits and punctuation are read back through the server's layouts in
// KeyboardLayoutX11Test; these keys type nothing, so only the table knows them.
TEST(KeyCodeTable, MapsEditingNavigationAndFunctionKeys)
{
    const std::pair<uint16_t, uint32_t> keys[] = {
        {51, 14},   // Delete is Backspace
        {117, 111}, // Forward Delete is Delete
        {48, 15},   {53, 1},   {115, 102}, {119, 107}, {116, 104}, {121, 109}, {123, 105},
        {126, 103}, {122, 59}, {120, 60},  {99, 61},   {118, 62},  {96, 63},   {97, 64},
        {98, 65},   {100, 66}, {101, 67},  {109, 68},  {103, 87},  {111, 88}};
    for (const auto &[mac, evdev] : keys) {
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
    EXPECT_EQ(evdevCodeForMacKeyCode(22), 7u);    // the Mac's 6 and 5 are out of order
    EXPECT_EQ(evdevCodeForMacKeyCode(23), 6u);
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
